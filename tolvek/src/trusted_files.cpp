#include "tolvek/trusted_files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "tolvek/callstack.h"
#include "tolvek/file_write.h"

namespace tolvek {

bool OwnedAlone(const struct stat& st, PathKind kind, mode_t closedBits, bool rootMayOwn) {
  const bool kindOk = kind == PathKind::Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
  const bool ownerOk = st.st_uid == detail::OwnUserId() || (rootMayOwn && st.st_uid == 0);
  return kindOk && ownerOk && (st.st_mode & closedBits) == 0;
}

namespace {

// As many links as the system itself follows in one lookup.
constexpr int kMaxLinks = 40;

// A folder on the way: safe from others, or root's with the sticky bit, where others may add
// their own entries but move none of ours.
bool PassableFolder(const struct stat& st) {
  if (OwnedAlone(st, PathKind::Folder)) return true;
  return S_ISDIR(st.st_mode) && st.st_uid == 0 && (st.st_mode & S_ISVTX) != 0;
}

struct Step {
  std::string name;
  std::string shown;  // the path as the caller named it up to this name
  bool mayBeLink;     // up to and including the configured folder
  bool last;          // the file asked for
};

void Split(const std::string& path, size_t from, bool mayBeLink, std::deque<Step>& steps,
           std::deque<Step>::iterator at, const std::string& shownBase) {
  std::deque<Step> parts;
  for (size_t start = from; start < path.size();) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) {
      parts.push_back({path.substr(start, slash - start),
                       shownBase + path.substr(from, slash - from), mayBeLink, false});
    }
    start = slash + 1;
  }
  steps.insert(at, parts.begin(), parts.end());
}

}  // namespace

int OpenCheckedPath(const std::string& folderIn, const std::string& fileIn, PathKind kind,
                    std::string& unsafe) {
  TOLVEK_TRACE("OpenCheckedPath");
  unsafe.clear();
  if (fileIn.compare(0, folderIn.size(), folderIn) != 0 || fileIn.size() == folderIn.size()) {
    unsafe = fileIn;
    return -1;
  }
  std::string folder = folderIn, file = fileIn;
  if (folder.empty() || folder[0] != '/') {
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here)) {
      unsafe = fileIn;
      return -1;
    }
    folder = std::string(here) + "/" + folder;
    file = std::string(here) + "/" + file;
  }
  std::deque<Step> steps;
  Split(folder, 1, true, steps, steps.end(), "/");
  // The folder itself is named as the caller wrote it.
  if (!steps.empty()) steps.back().shown = folderIn;
  const std::string rest = file.substr(folder.size());
  Split(rest, 0, false, steps, steps.end(),
        folderIn.empty() || folderIn.back() == '/' ? folderIn : folderIn + "/");
  if (steps.empty() || steps.back().mayBeLink) {
    unsafe = fileIn;
    return -1;
  }
  steps.back().last = true;

  int current = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (current < 0 || fstat(current, &st) != 0 || !PassableFolder(st)) {
    if (current >= 0) close(current);
    unsafe = "/";
    return -1;
  }
  auto refuse = [&](const std::string& shown, int fd) {
    if (fd >= 0) close(fd);
    close(current);
    unsafe = shown;
    return -1;
  };
  int links = 0;
  while (!steps.empty()) {
    const Step step = steps.front();
    steps.pop_front();
    if (step.name == ".") continue;
    const int next = openat(current, step.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 || fstat(next, &st) != 0) return refuse(step.shown, next);
    if (S_ISLNK(st.st_mode)) {
      if (!step.mayBeLink || ++links > kMaxLinks ||
          (st.st_uid != detail::OwnUserId() && st.st_uid != 0)) {
        return refuse(step.shown, next);
      }
      std::string target(static_cast<size_t>(PATH_MAX), '\0');
      const ssize_t n = readlinkat(next, "", target.data(), target.size());
      close(next);
      if (n <= 0 || static_cast<size_t>(n) >= target.size()) return refuse(step.shown, -1);
      target.resize(static_cast<size_t>(n));
      // What the link leads to is looked up from where the link lies, or from the root.
      if (target[0] == '/') {
        close(current);
        current = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (current < 0) return refuse("/", -1);
      }
      std::string named = step.shown;
      while (named.size() > 1 && named.back() == '/') named.pop_back();
      Split(target, 0, true, steps, steps.begin(), named + " -> ");
      continue;
    }
    const bool ok = step.last ? OwnedAlone(st, kind) : PassableFolder(st);
    if (!ok) return refuse(step.shown, next);
    close(current);
    current = next;
  }
  return current;
}

std::string FirstUnsafePath(const std::string& folder, const std::string& file, PathKind kind) {
  std::string unsafe;
  const int fd = OpenCheckedPath(folder, file, kind, unsafe);
  if (fd >= 0) close(fd);
  return unsafe;
}

std::string DescriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

bool SafeFromOtherUsers(const std::string& path, PathKind kind) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : trimmed.substr(0, slash + 1);
  return FirstUnsafePath(folder, trimmed, kind).empty();
}

}  // namespace tolvek
