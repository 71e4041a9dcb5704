#include "tolvek/self_update.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/memory_string.h"
#include "tolvek/process.h"
#include "tolvek/syslog.h"
#include "tolvek/temp_files.h"
#include "tolvek/trusted_files.h"

namespace tolvek {
namespace {

constexpr int kAttempts = 6;
constexpr int kRetryPauseMs = 500;

detail::SelfUpdateHooks& Hooks() {
  static detail::SelfUpdateHooks hooks;
  return hooks;
}

void Pause(int ms) {
  if (Hooks().sleep) {
    Hooks().sleep(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

bool RemoveFile(const std::string& path) {
  if (Hooks().removeFile) return Hooks().removeFile(path);
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string OwnPath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string Field(const std::string& text, size_t index, char sep) {
  size_t start = 0;
  for (size_t i = 1; i < index; ++i) {
    size_t pos = text.find(sep, start);
    if (pos == std::string::npos) return {};
    start = pos + 1;
  }
  size_t end = text.find(sep, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

// Starts a program that shares our standard streams and our process group (the terminal's
// keys and a password prompt reach it as they reach us); waits for it when asked.
// Returns the exit code when waited, 0 when only started, -1 when it could not start.
int Spawn(const std::vector<std::string>& args, bool wait) {
  ProgramOptions options;
  options.redirect = false;
  options.shareStreams = true;
  options.ownGroup = false;
  // What is not waited for takes our place: it runs on after we end.
  options.endWithParent = wait;
  Program program;
  if (!StartProgram(args[0], {args.begin() + 1, args.end()}, "", program, options)) return -1;
  if (!wait) {
    program.pid = -1;  // let go, neither killed nor waited for
    return 0;
  }
  return CloseProgram(program);
}

bool CopyWithRetries(const std::string& source, const std::string& destination) {
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    if (CopyFileReplacing(source, destination)) return true;
    Pause(kRetryPauseMs);
  }
  return false;
}

// The last resort: the copy program, with administrator rights where the system can grant
// them.
bool CopyThroughHelper(const std::string& source, const std::string& destination) {
  std::string helper = Hooks().copyHelperPath;
  if (helper.empty()) helper = DirectoryOf(OwnPath()) + "copyhelper";
  if (access(helper.c_str(), X_OK) != 0) return false;
  std::vector<std::string> args;
  if (access("/usr/bin/pkexec", X_OK) == 0) args.push_back("/usr/bin/pkexec");
  args.push_back(helper);
  args.push_back(source);
  args.push_back(destination);
  return Spawn(args, true) == 0;
}

void InstallUpdate(const std::string& instructionFile) {
  std::string text = ReadFile2String(instructionFile, kFormatUtf8);
  auto lineEnd = text.find_first_of("\r\n");
  std::string source = text.substr(0, lineEnd);
  std::string destination;
  if (lineEnd != std::string::npos) {
    size_t next = text.find_first_not_of("\r\n", lineEnd);
    if (next != std::string::npos)
      destination = text.substr(next, text.find_first_of("\r\n", next) - next);
  }
  bool trusted = SafeFromOtherUsers(source, PathKind::File);
  bool copied = trusted && !destination.empty() &&
                (CopyWithRetries(source, destination) || CopyThroughHelper(source, destination));
  RemoveFile(instructionFile);
  if (copied) {
    RemoveFile(source);
  } else if (!trusted) {
    SyslogWarning("Refused the update \"" + source +
                  "\": it is not a plain file of this user's that only they can change!");
  } else {
    // The new build stays where it is, so the update can still be installed by hand.
    SyslogWarning("Couldn't install the update \"" + source + "\" over \"" + destination + "\"!");
  }
  if (!destination.empty()) {
    setenv("PATCH_COMPLETED", destination.c_str(), 1);
    Spawn({destination}, false);
  }
  if (Hooks().endProcess) {
    Hooks().endProcess();
    return;
  }
  std::fflush(nullptr);
  _exit(0);  // the updated program takes over; our finalizers must not touch its folder
}

}  // namespace

detail::SelfUpdateHooks& detail::SelfUpdateHooksForTest() {
  return Hooks();
}

std::string SelfUpdateDirectory() {
  return SystemTemporaryDirectory() + "tolvek.update-" + std::to_string(getuid()) + "/";
}

int CopyHelperRun(const std::string& source, const std::string& destination) {
  TOLVEK_TRACE("CopyHelperRun");
  if (source.empty() || destination.empty()) return 1;
  struct stat st;
  if (lstat(source.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return 1;
  return CopyWithRetries(source, destination) ? 0 : 1;
}

bool CopyFileReplacing(const std::string& source, const std::string& destination) {
  TOLVEK_TRACE("CopyFileReplacing");
  // A link is not followed and a FIFO does not hold us up: only a plain file is copied.
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(in, F_SETFL, fcntl(in, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(in);
    return false;
  }
  std::string temp;
  int out = CreateSiblingFile(destination, temp);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buf[1 << 16];
  while (ok) {
    ssize_t n = read(in, buf, sizeof(buf));
    if (n == 0) break;
    if (n < 0) {
      ok = errno == EINTR;
      continue;
    }
    ok = WriteAllBytes(out, buf, static_cast<size_t>(n));
  }
  // Never setuid or setgid: the copy may be made with administrator rights.
  ok = ok && fchmod(out, st.st_mode & 0777) == 0;
  ok = ok && fsync(out) == 0;
  ok = (close(out) == 0) && ok;
  close(in);
  ok = ok && rename(temp.c_str(), destination.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

void PatchCompletion() {
  TOLVEK_TRACE("PatchCompletion");
  std::string own = OwnPath();
  if (own.empty()) return;
  const char* completed = std::getenv("PATCH_COMPLETED");
  if (completed && own == completed) {
    Pause(1000);  // lets the update copy that started us end first
    return;
  }
  std::string name = own.substr(own.rfind('/') + 1);
  std::string extension;
  std::string base = name;
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    base = name.substr(0, dot);
    extension = name.substr(dot + 1);
  }
  std::string folder = SelfUpdateDirectory();
  if (!SafeFromOtherUsers(folder.substr(0, folder.size() - 1), PathKind::Folder)) return;

  std::string instructions = folder + Field(base, 1, '_') + "_updater.dat";
  if (Field(base, 2, '_') == "updater" && SafeFromOtherUsers(instructions, PathKind::File) &&
      FileSize(instructions) > 0) {
    InstallUpdate(instructions);
    return;
  }
  std::string leftover = folder + base + "_updater." + extension;
  while (!leftover.empty() && leftover.back() == '.') leftover.pop_back();
  if (FileSize(leftover) > 0) {
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      if (RemoveFile(leftover)) break;
      Pause(kRetryPauseMs);
    }
  }
}

}  // namespace tolvek
