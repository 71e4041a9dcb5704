#include "tolvek/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <vector>

#include "tolvek/callstack.h"

namespace tolvek {
namespace {

// More links in a row than the system itself would follow.
constexpr int kMaxLinkHops = 40;

uid_t gOwnUserOverride = static_cast<uid_t>(-1);

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool FolderWritable(const std::string& path) {
  return faccessat(AT_FDCWD, FolderOf(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool InOwnGroups(gid_t gid) {
  if (gid == getegid()) return true;
  int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  count = getgroups(count, groups.data());
  for (int i = 0; i < count; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return true;
  }
  return false;
}

// What the mode bits allow, without the superuser's override: a file whose mode says
// "read only" is not replaced by root either.
bool ModeAllowsWriting(const struct stat& st) {
  if (st.st_uid == detail::OwnUserId()) return (st.st_mode & S_IWUSR) != 0;
  if (InOwnGroups(st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
  return (st.st_mode & S_IWOTH) != 0;
}

}  // namespace

uid_t detail::OwnUserId() {
  return gOwnUserOverride != static_cast<uid_t>(-1) ? gOwnUserOverride : geteuid();
}

void detail::SetOwnUserIdForTest(uid_t uid) {
  gOwnUserOverride = uid;
}

int CreateSiblingFile(const std::string& target, std::string& name) {
  static thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp" + std::to_string(getpid()) + "." + std::to_string(random());
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAllBytes(int fd, const void* data, size_t length) {
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    size_t chunk = length > (size_t{1} << 30) ? size_t{1} << 30 : length;
    ssize_t n = write(fd, p, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

std::string ReplaceableTarget(const std::string& path, const WriteOptions& options) {
  TOLVEK_TRACE("ReplaceableTarget");
  if (path.empty()) {
    errno = ENOENT;
    return {};
  }
  std::string target = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) {
      if (errno != ENOENT) return {};
      return FolderWritable(target) ? target : std::string();
    }
    if (S_ISREG(st.st_mode)) {
      if (!ModeAllowsWriting(st)) {
        errno = EACCES;
        return {};
      }
      return FolderWritable(target) ? target : std::string();
    }
    if (!S_ISLNK(st.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : EPERM;
      return {};
    }
    if (!options.followOwnLinks || st.st_uid != detail::OwnUserId()) {
      // The link itself is replaced; the file it names is never touched.
      return FolderWritable(path) ? path : std::string();
    }
    std::string next(static_cast<size_t>(st.st_size) + 1, '\0');
    ssize_t n = readlink(target.c_str(), next.data(), next.size());
    if (n > 0 && static_cast<size_t>(n) >= next.size()) errno = ENAMETOOLONG;
    if (n <= 0 || static_cast<size_t>(n) >= next.size()) return {};
    next.resize(static_cast<size_t>(n));
    target = next.front() == '/' ? next : FolderOf(target) + "/" + next;
  }
  errno = ELOOP;
  return {};
}

bool WriteFileWhole(const std::string& path, std::string_view bytes, const WriteOptions& options) {
  return WriteFileWhole(path, std::initializer_list<std::string_view>{bytes}, options);
}

bool WriteFileWhole(const std::string& path, std::initializer_list<std::string_view> pieces,
                    const WriteOptions& options) {
  return WriteFileWholeWith(
      path,
      [&](int fd) {
        for (std::string_view bytes : pieces) {
          if (!WriteAllBytes(fd, bytes.data(), bytes.size())) return false;
        }
        return true;
      },
      options);
}

bool WriteFileWholeWith(const std::string& path, const std::function<bool(int fd)>& fill,
                        const WriteOptions& options) {
  TOLVEK_TRACE("WriteFileWhole");
  errno = 0;
  std::string target = ReplaceableTarget(path, options);
  if (target.empty()) {
    // Refused by the rules above, or the path could not even be looked at.
    if (errno == 0) errno = EACCES;
    return false;
  }
  std::string temp;
  int fd = CreateSiblingFile(target, temp);
  if (fd < 0) return false;
  // The first step that fails tells why (a full disk may show only when the file is closed);
  // the caller reads it from errno.
  int why = 0;
  auto step = [&why](bool done) {
    if (!done && why == 0) why = errno != 0 ? errno : EIO;
    return done;
  };
  bool ok = true;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    ok = step(fchmod(fd, st.st_mode & 0777) == 0);
  }
  errno = 0;
  ok = ok && step(fill(fd));
  if (options.sync) ok = ok && step(fsync(fd) == 0);
  ok = step(close(fd) == 0) && ok;
  ok = ok && step(rename(temp.c_str(), target.c_str()) == 0);
  if (!ok) {
    unlink(temp.c_str());
    errno = why;
  }
  return ok;
}

bool CopyFileTail(int from, int64_t offset, int to) {
  TOLVEK_TRACE("CopyFileTail");
  loff_t at = offset;
  for (;;) {
    ssize_t n = copy_file_range(from, &at, to, nullptr, size_t{1} << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    // Not between these files (other file systems, old kernels): copied through a buffer.
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    break;
  }
  std::vector<char> buffer(size_t{1} << 20);
  for (;;) {
    ssize_t n = pread(from, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAllBytes(to, buffer.data(), static_cast<size_t>(n))) return false;
    at += n;
  }
}

}  // namespace tolvek
