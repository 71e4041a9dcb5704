#include "tolvek/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

#include "tolvek/callstack.h"
#include "tolvek/file_write.h"
#include "tolvek/process.h"
#include "tolvek/syslog.h"
#include "tolvek/trusted_files.h"

namespace tolvek {

std::string SystemTemporaryDirectory() {
  const char* env = std::getenv("TMPDIR");
  std::string base = env && *env ? env : "/tmp";
  if (base.back() != '/') base += '/';
  return base;
}

namespace {

constexpr int kMaxKey = 99999;
constexpr const char* kFolderError = "Could not create temporary directory 'tolvek.zubl'!";
// Every instance sharing the folder holds this file locked shared; the one that can take it
// exclusively at its end is the last one and may remove the folder.
constexpr const char* kLockName = "tolvek.zubl.lock";
// Another instance may remove the folder between our check and our lock; a few rounds
// settle that, more would mean something else keeps interfering.
constexpr int kLockAttempts = 100;

struct State {
  std::recursive_mutex m_mutex;
  std::string m_dir;                                           // without the trailing "/"
  std::map<std::string, std::string> m_paths;                  // key "-n" -> path
  std::map<std::string, std::string> m_keys;                   // open handle's text -> key
  std::vector<bool> m_taken = std::vector<bool>(kMaxKey + 1);  // numbers in m_paths
  bool m_finalizerPending = true;
  int m_lockFd = -1;
  std::mt19937 m_random{std::random_device{}()};
  std::function<void()> m_beforeLock;  // test seam: runs between opening and locking
};

State& S() {
  static State state;
  return state;
}

std::string SystemTempFolder() {
  std::string base = SystemTemporaryDirectory();
  if (char* real = realpath(base.c_str(), nullptr)) {
    base = real;
    std::free(real);
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;  // "" for the root folder; the caller adds the separator
}

// A folder we may keep private files in: a real folder (not a link), ours, closed to others.
bool IsPrivateFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && OwnedAlone(st, PathKind::Folder, 077, false);
}

// The user's runtime folder when the session provides a sound one: only the user can see
// into it, so nobody can take our folder's name there first. Else the system's folder.
std::string PrivateFolderBase() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    std::string base = runtime;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    struct stat st;
    if (lstat(base.c_str(), &st) == 0 && OwnedAlone(st, PathKind::Folder, 077, false) &&
        (st.st_mode & S_IRWXU) == S_IRWXU) {
      return base == "/" ? std::string() : base;
    }
  }
  return SystemTempFolder();
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class LockResult { kLocked, kRetry, kNoLock };

// Takes the shared lock on the folder dir's lock file (made when create) into held and makes
// sure the lock file is still the one at its path: an instance that removed the folder
// meanwhile leaves our descriptor on an unlinked file.
LockResult TakeSharedLock(const std::string& dir, bool create, int& held,
                          const std::function<void()>& beforeLock = {}) {
  std::string path = dir + "/" + kLockName;
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
  if (fd < 0) return errno == ENOENT ? LockResult::kRetry : LockResult::kNoLock;
  if (beforeLock) beforeLock();
  int rc;
  do rc = flock(fd, LOCK_SH);
  while (rc != 0 && errno == EINTR);
  struct stat locked, named;
  if (rc != 0 || fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
    close(fd);
    return LockResult::kNoLock;
  }
  if (lstat(path.c_str(), &named) != 0 || !SameFile(locked, named)) {
    close(fd);
    return LockResult::kRetry;
  }
  held = fd;
  return LockResult::kLocked;
}

// Removes everything below the open folder dirFd except the entry named keep, read-only
// folders included; links are removed, never followed. False when anything stayed.
bool RemoveContents(int dirFd, std::string_view keep = {}) {
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return false;
  }
  bool ok = true;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || name == keep) continue;
    if (unlinkat(dirfd(dir), name.c_str(), 0) == 0 || errno == ENOENT) continue;
    if (errno != EISDIR && errno != EPERM) {
      ok = false;
      continue;
    }
    int sub = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0 && errno == EACCES && fchmodat(dirfd(dir), name.c_str(), 0700, 0) == 0) {
      sub = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (sub < 0) {
      ok = false;
      continue;
    }
    fchmod(sub, 0700);  // so its entries can be unlinked
    if (!RemoveContents(sub) || unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0) ok = false;
  }
  closedir(dir);
  return ok;
}

// Private folders of ours that a program which ended abnormally left behind: a folder whose
// lock file nobody holds has no instance left. A folder without a lock file is spared, as an
// instance may be about to create it; the removal keeps the order of the normal end, so an
// instance moving in meanwhile finds its lock file gone and starts over.
void RemoveAbandonedFolders(const std::string& base, const std::string& own) {
  std::string tail = "-" + std::to_string(detail::OwnUserId());
  DIR* dir = opendir(base.empty() ? "/" : base.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, 12) != "tolvek.zubl." || name == kLockName) continue;
    // The shared name ends with the user id; a fresh one beside it has a random tail after it.
    size_t at = name.rfind(tail);
    if (at == std::string_view::npos ||
        (at + tail.size() != name.size() && name[at + tail.size()] != '.')) {
      continue;
    }
    std::string path = base + "/" + std::string(name);
    if (path == own || !IsPrivateFolder(path)) continue;
    int dirFd = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) continue;
    int lockFd = openat(dirFd, kLockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (lockFd < 0 || fstat(lockFd, &st) != 0 || !S_ISREG(st.st_mode) ||
        flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
      if (lockFd >= 0) close(lockFd);
      close(dirFd);
      continue;
    }
    if (RemoveContents(dup(dirFd), kLockName)) {
      unlinkat(dirFd, kLockName, 0);
      unlinkat(dirfd(dir), entry->d_name, AT_REMOVEDIR);
    }
    close(lockFd);
    close(dirFd);
  }
  closedir(dir);
}

// The start of the names of this process's files and folders in the private folder. Untraced,
// as the removal that reads it may run from an exit hook.
std::string OwnPrefix() {
  return "ZEMTEMP." + std::to_string(getpid()) + ".";
}

// Every file and folder in the folder path whose name begins with prefix.
void RemovePrefixed(const std::string& path, const std::string& prefix) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    if (std::string_view(entry->d_name).substr(0, prefix.size()) != prefix) continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0 || errno != EISDIR) continue;
    int sub = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub >= 0 && RemoveContents(sub)) unlinkat(dirfd(dir), entry->d_name, AT_REMOVEDIR);
  }
  closedir(dir);
}

// This instance's files in a folder that others still use: the ones it registered and any
// file or folder left by its own number.
void RemoveOwnFiles(State& s) {
  for (const auto& [key, path] : s.m_paths) unlink(path.c_str());
  RemovePrefixed(s.m_dir, OwnPrefix());
}

// The folder whole, by its last user. The lock file goes last, so an instance starting now
// either waits on it and then finds it gone, or creates a new one in a folder that then stays.
void RemoveSharedFolder(const std::string& path) {
  int dirFd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  bool ok = dirFd >= 0 && RemoveContents(dirFd, kLockName);
  if (ok) unlink((path + "/" + kLockName).c_str());
  // A folder that is no longer empty now belongs to an instance that has just moved in.
  if (ok && rmdir(path.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT) {
    ok = false;
  }
  if (!ok) SyslogWarning("Couldn't delete temporary directory \"" + path + "\"!");
}

// The key to use for a new file, or "" when all numbers are taken. Random draws first; when
// the registry is crowded a walk from a random start finds the free numbers without
// drawing on and on.
std::string NewKey(State& s) {
  if (s.m_paths.size() >= static_cast<size_t>(kMaxKey)) return {};
  std::uniform_int_distribution<int> draw(1, kMaxKey);
  int n = 0;
  for (int attempt = 0; attempt < 64 && !n; ++attempt) {
    int candidate = draw(s.m_random);
    if (!s.m_taken[candidate]) n = candidate;
  }
  for (int i = 0, start = draw(s.m_random); i < kMaxKey && !n; ++i) {
    int candidate = (start - 1 + i) % kMaxKey + 1;
    if (!s.m_taken[candidate]) n = candidate;
  }
  return n ? "-" + std::to_string(n) : std::string();
}

std::string IdText(int64_t id) {
  return std::to_string(id);
}

void Forget(State& s, std::map<std::string, std::string>::iterator path) {
  s.m_taken[std::stoi(path->first.substr(1))] = false;
  s.m_paths.erase(path);
}

void ForgetAll(State& s) {
  s.m_keys.clear();
  s.m_paths.clear();
  s.m_taken.assign(s.m_taken.size(), false);
}

}  // namespace

std::string GetTemporaryDirectory4TolvekZubl() {
  TOLVEK_TRACE("GetTemporaryDirectory4TolvekZubl");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  // Before start-up there is no folder; "/" would point callers at the root.
  return s.m_dir.empty() ? std::string() : s.m_dir + "/";
}

int64_t CreateTempFile(bool close, bool del, const std::string& extension) {
  TOLVEK_TRACE("CreateTempFile");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  if (s.m_finalizerPending) {
    s.m_finalizerPending = false;
    RegisterFinalizer(&DeleteTempFiles, false);
  }
  if (s.m_dir.empty()) return 0;
  std::string key = NewKey(s);
  if (key.empty()) return 0;
  std::string path = s.m_dir + "/ZEMTEMP." + std::to_string(GetProcessId()) + "." + key.substr(1) +
                     "." + extension;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd == 0) {
    // Handles are positive: 0 would read as "could not be created".
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    ::close(fd);
    fd = moved;
  }
  if (fd < 0) return 0;
  s.m_paths[key] = path;
  s.m_taken[std::stoi(key.substr(1))] = true;
  s.m_keys[IdText(fd)] = key;
  int64_t result = fd;
  if (close || del) result = CloseTempFile(fd);
  if (del) unlink(path.c_str());
  return result;
}

int64_t CloseTempFile(int64_t handle) {
  TOLVEK_TRACE("CloseTempFile");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  // Only descriptors the registry opened are closed: closing whatever number a caller
  // passes could close a file that belongs to someone else.
  auto it = s.m_keys.find(IdText(handle));
  if (it == s.m_keys.end()) return 0;
  std::string key = it->second;
  s.m_keys.erase(it);
  ::close(static_cast<int>(handle));
  return std::stoll(key);
}

std::string GetTempFilePath(int64_t id) {
  TOLVEK_TRACE("GetTempFilePath");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  std::string text = IdText(id);
  auto open = s.m_keys.find(text);
  if (open != s.m_keys.end()) text = open->second;
  auto it = s.m_paths.find(text);
  return it == s.m_paths.end() ? std::string() : it->second;
}

void DeleteTempFile(int64_t id) {
  TOLVEK_TRACE("DeleteTempFile");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  std::string key = IdText(id);
  auto open = s.m_keys.find(key);
  if (open != s.m_keys.end()) {
    key = open->second;
    s.m_keys.erase(open);
    ::close(static_cast<int>(id));
  }
  auto it = s.m_paths.find(key);
  if (it == s.m_paths.end()) return;
  unlink(it->second.c_str());
  Forget(s, it);
}

std::string GetOwnTempFolder(const std::string& name) {
  TOLVEK_TRACE("GetOwnTempFolder");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  if (s.m_dir.empty()) return {};
  std::string path = s.m_dir + "/" + OwnPrefix() + name;
  mkdir(path.c_str(), 0700);
  return IsPrivateFolder(path) ? path + "/" : std::string();
}

int TempFileDescriptor(int64_t handle) {
  TOLVEK_TRACE("TempFileDescriptor");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  return s.m_keys.count(IdText(handle)) ? static_cast<int>(handle) : -1;
}

void DeleteTempFiles() {
  TOLVEK_TRACE("DeleteTempFiles");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  for (const auto& [text, key] : s.m_keys) ::close(std::stoi(text));
  for (const auto& [key, path] : s.m_paths) {
    struct stat st;
    if (unlink(path.c_str()) != 0 && lstat(path.c_str(), &st) == 0) {
      SyslogWarning("Couldn't delete temporary file \"" + path + "\"!");
    }
  }
  ForgetAll(s);
}

void CleanUpTemporaryDirectory4TolvekZubl() {
  TOLVEK_TRACE("CleanUpTemporaryDirectory4TolvekZubl");
  detail::CleanUpTemporaryDirectoryUntraced();
}

void detail::CleanUpTemporaryDirectoryUntraced() {
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  if (s.m_dir.empty()) return;
  // A failed upgrade drops our shared lock too; we are leaving anyway.
  bool last = s.m_lockFd >= 0 && flock(s.m_lockFd, LOCK_EX | LOCK_NB) == 0;
  if (!last) {
    RemoveOwnFiles(s);
  } else {
    RemoveSharedFolder(s.m_dir);
  }
  if (s.m_lockFd >= 0) ::close(s.m_lockFd);
  s.m_lockFd = -1;
}

// ------------------------------------------------------ the files of an instance that crashed
namespace {

struct LeftFiles {
  std::string m_dir;  // without the trailing "/"
  std::string m_prefix;
  int m_lockFd = -1;
};

LeftFiles& Left() {
  static LeftFiles left;
  return left;
}

}  // namespace

bool HoldLeftFiles(const std::string& folder, int64_t processId) {
  TOLVEK_TRACE("HoldLeftFiles");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  LeftFiles& left = Left();
  std::string dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  // Only a private folder of ours, as the start-up makes them.
  size_t slash = dir.rfind('/');
  if (left.m_lockFd >= 0 || processId <= 0 || slash == std::string::npos ||
      dir.compare(slash + 1, 12, "tolvek.zubl.") != 0 || !IsPrivateFolder(dir)) {
    return false;
  }
  // Without its lock file the folder is being removed, or made anew by another instance.
  int held = -1;
  if (TakeSharedLock(dir, false, held) != LockResult::kLocked) return false;
  left = {dir, "ZEMTEMP." + std::to_string(processId) + ".", held};
  return true;
}

void RemoveLeftFiles() {
  TOLVEK_TRACE("RemoveLeftFiles");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  LeftFiles& left = Left();
  if (left.m_lockFd < 0) return;
  RemovePrefixed(left.m_dir, left.m_prefix);
  // A folder of its own goes whole, as the crashed instance would have taken it at its end,
  // unless another instance uses it now. Our own folder goes at our own end.
  if (left.m_dir != s.m_dir && flock(left.m_lockFd, LOCK_EX | LOCK_NB) == 0) {
    RemoveSharedFolder(left.m_dir);
  }
  close(left.m_lockFd);
  left = {};
}

namespace detail {

void InitPrivateTempDir(const std::string& suffix) {
  TOLVEK_TRACE("InitPrivateTempDir");
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  std::string name = "tolvek.zubl." + (suffix.empty() ? std::to_string(GetProcessId()) : suffix) +
                     "-" + std::to_string(geteuid());
  std::string expected = PrivateFolderBase() + "/" + name;
  for (int attempt = 0;; ++attempt) {
    s.m_dir = expected;
    if (mkdir(s.m_dir.c_str(), 0700) == 0) {
      chmod(s.m_dir.c_str(), 0700);  // a umask may have taken the owner's bits
    }
    // Anything at the name that is not our private folder (another user's folder, a link,
    // a file) could hand our files to someone else, and any local user can put it there:
    // a fresh folder beside it, which no other instance will share, lets the run go on.
    if (!IsPrivateFolder(s.m_dir)) {
      std::string fresh = expected + ".XXXXXX";
      if (!mkdtemp(fresh.data())) ReportError(kFolderError, true);
      s.m_dir = fresh;
    }
    LockResult taken = TakeSharedLock(s.m_dir, true, s.m_lockFd, s.m_beforeLock);
    if (taken == LockResult::kLocked) break;
    // Without a lock file we still work; at the end we then remove only our own files.
    if (taken == LockResult::kNoLock) break;
    if (attempt + 1 >= kLockAttempts) ReportError(kFolderError, true);
  }
  RemoveAbandonedFolders(PrivateFolderBase(), s.m_dir);
  RegisterFinalizer(&CleanUpTemporaryDirectory4TolvekZubl, false);
}

void SetBeforeLockHookForTest(std::function<void()> hook) {
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  s.m_beforeLock = std::move(hook);
}

void ResetTempFilesForTest() {
  State& s = S();
  std::lock_guard lock(s.m_mutex);
  for (const auto& [text, key] : s.m_keys) ::close(std::stoi(text));
  ForgetAll(s);
  // Closing, not unlocking: a forked test child shares the parent's lock.
  if (s.m_lockFd >= 0) ::close(s.m_lockFd);
  s.m_lockFd = -1;
  s.m_dir.clear();
  s.m_finalizerPending = true;
  s.m_beforeLock = nullptr;
}

}  // namespace detail

}  // namespace tolvek
