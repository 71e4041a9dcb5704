#include "tolvek/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "tolvek/callstack.h"
#include "tolvek/crash_report.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"

extern char** environ;

namespace tolvek {
namespace {}  // namespace

// The child starts with default signal handling and nothing blocked, whatever we set (the
// converter ignores SIGPIPE, for one).
void detail::InitSpawnAttributes(posix_spawnattr_t& attr, short extraFlags) {
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | extraFlags);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kChunk = 65536;
// While the pipes stay open, how often to look whether the program itself has ended: a
// background child of it may hold the pipes open for much longer.
constexpr int kExitCheckMs = 50;

void ClosePipe(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool HasEnded(pid_t pid) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  // WNOWAIT: the exit code stays for CloseProgram to collect.
  int rc;
  do rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
  while (rc != 0 && errno == EINTR);
  return rc != 0 || info.si_pid == pid;
}

// The standard output collected so far; the block grows geometrically and is cut to its
// exact size at the end.
struct OutputBlock {
  void* m_block = nullptr;
  int64_t m_used = 0;
  bool m_full = false;  // growing failed: the rest of the output is drained, not kept

  void Append(const char* data, size_t n) {
    if (m_full || n == 0) return;
    int64_t need = m_used + static_cast<int64_t>(n);
    int64_t capacity = MemorySize(m_block);
    if (need > capacity) {
      int64_t grown = capacity * 2 > need ? capacity * 2 : need;
      void* bigger =
          m_block ? ReAllocateMemoryAdvanced(m_block, grown) : AllocateMemoryAdvanced(grown);
      if (!bigger) {
        m_full = true;  // the old block stays valid and is returned as it is
        return;
      }
      m_block = bigger;
    }
    std::memcpy(static_cast<char*>(m_block) + m_used, data, n);
    m_used = need;
  }

  void* Finish() {
    if (m_block && MemorySize(m_block) != m_used) {
      if (void* exact = ReAllocateMemoryAdvanced(m_block, m_used)) m_block = exact;
    }
    return m_block;
  }
};

// Reads what is waiting on fd into sink; false once the pipe is at its end (or broken).
template <typename Sink>
bool Drain(int fd, char* buf, Sink&& sink) {
  for (;;) {
    ssize_t n = read(fd, buf, kChunk);
    if (n > 0) {
      sink(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

// The error lines up to and including the first empty one, each followed by LF; the end
// of the output reads as an empty line. "" when the first line is already empty.
std::string ErrorLines(const std::string& errors) {
  std::string text;
  size_t pos = 0;
  for (;;) {
    size_t end = errors.find('\n', pos);
    bool atEnd = end == std::string::npos;
    std::string line = errors.substr(pos, atEnd ? std::string::npos : end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() && text.empty()) return {};
    text += line;
    text += '\n';
    if (line.empty()) break;
    if (atEnd) {
      text += '\n';
      break;
    }
    pos = end + 1;
  }
  return text;
}

// The inherited environment with the given "NAME=value" entries put in place.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const std::string& change : changes) replaced |= nameOf(change) == nameOf(entry);
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), changes.begin(), changes.end());
  return env;
}

}  // namespace

int64_t GetProcessId() {
  TOLVEK_TRACE("GetProcessId");
  return getpid();
}

bool StartProgram(const std::string& file, const std::vector<std::string>& args,
                  const std::string& directory, Program& program, const ProgramOptions& options) {
  TOLVEK_TRACE("StartProgram");
  program = Program{};
  if (file.empty()) return false;
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  if (options.redirect) {
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return false;
    }
  }
  std::vector<std::string> envStrings = Environment(options.environment);
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(file.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (options.redirect) {
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  } else {
    // A hidden program: what it writes goes nowhere rather than into our own output.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  posix_spawnattr_t attr;
  detail::InitSpawnAttributes(attr, 0);

  pid_t pid = -1;
  // A bare name is looked up in PATH, as a command line would; a path is taken as it is.
  int rc = file.find('/') == std::string::npos
               ? posix_spawnp(&pid, file.c_str(), &actions, &attr, argv.data(), envp.data())
               : posix_spawn(&pid, file.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ClosePipe(out[1]);
  ClosePipe(err[1]);
  if (rc != 0) {
    ClosePipe(out[0]);
    ClosePipe(err[0]);
    return false;
  }
  if (options.addressSpaceLimit > 0) {
    // posix_spawn sets no limits; it returns once the program runs, long before a program
    // that grows for minutes has grown.
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.addressSpaceLimit);
    prlimit(pid, RLIMIT_AS, &limit, nullptr);
  }
  if (out[0] >= 0) fcntl(out[0], F_SETFL, O_NONBLOCK);
  if (err[0] >= 0) fcntl(err[0], F_SETFL, O_NONBLOCK);
  program.pid = pid;
  program.outFd = out[0];
  program.errFd = err[0];
  return true;
}

void* ReadProgramStream(Program& program) {
  TOLVEK_TRACE("ReadProgramStream");
  if (program.pid <= 0) return nullptr;
  std::unique_ptr<char[]> buf(new char[kChunk]);
  OutputBlock output;
  auto keepOutput = [&](const char* data, size_t n) { output.Append(data, n); };
  auto keepErrors = [&](const char* data, size_t n) { program.errors.append(data, n); };
  // Both pipes at once: a program that fills its error pipe while we wait on its standard
  // output would otherwise wait for us forever.
  while (program.outFd >= 0 || program.errFd >= 0) {
    pollfd fds[2] = {{program.outFd, POLLIN, 0}, {program.errFd, POLLIN, 0}};
    int ready = poll(fds, 2, kExitCheckMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      if (!HasEnded(program.pid)) continue;
      // Ended, but something it started still holds the pipes: take what is there and stop.
      if (program.outFd >= 0) Drain(program.outFd, buf.get(), keepOutput);
      if (program.errFd >= 0) Drain(program.errFd, buf.get(), keepErrors);
      break;
    }
    if (fds[0].revents && !Drain(program.outFd, buf.get(), keepOutput)) ClosePipe(program.outFd);
    if (fds[1].revents && !Drain(program.errFd, buf.get(), keepErrors)) ClosePipe(program.errFd);
  }
  return output.Finish();
}

bool WaitProgram(Program& program, int64_t timeoutMs) {
  TOLVEK_TRACE("WaitProgram");
  if (program.pid <= 0) return true;
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (int pause = 1;; pause = pause < 20 ? pause * 2 : 20) {
    if (HasEnded(program.pid)) return true;
    if (timeoutMs >= 0 && Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
  }
}

void KillProgram(Program& program) {
  TOLVEK_TRACE("KillProgram");
  if (program.pid > 0) kill(program.pid, SIGKILL);
}

int CloseProgram(Program& program) {
  TOLVEK_TRACE("CloseProgram");
  ClosePipe(program.outFd);
  ClosePipe(program.errFd);
  if (program.pid <= 0) return -1;
  int status = 0;
  pid_t rc;
  do rc = waitpid(program.pid, &status, 0);
  while (rc < 0 && errno == EINTR);
  program.pid = -1;
  if (rc < 0) return -1;
  program.waitStatus = status;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int64_t ThreeQuartersOfPhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<int64_t>(pages) / 4 * 3 * pageSize;
}

void* RunProgramAndOutput2Memory(const std::string& file, const std::vector<std::string>& args,
                                 const std::string& directory, bool withErrors) {
  TOLVEK_TRACE("RunProgramAndOutput2Memory");
  Program program;
  if (!StartProgram(file, args, directory, program)) return nullptr;
  void* block = ReadProgramStream(program);
  CloseProgram(program);
  if (!withErrors) return block;
  std::string lines = ErrorLines(program.errors);
  if (lines.empty()) return block;
  std::string text = Utf8ToUtf16Le(SanitizeUtf8("\x01" + lines));
  text.append(2, '\0');
  int64_t used = MemorySize(block);
  int64_t size = used + static_cast<int64_t>(text.size());
  void* grown = block ? ReAllocateMemoryAdvanced(block, size) : AllocateMemoryAdvanced(size);
  if (!grown) return block;  // the standard output at least
  std::memcpy(static_cast<char*>(grown) + used, text.data(), text.size());
  return grown;
}

void OpenUrl(const std::string& url, int flags) {
  (void)flags;
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attr;
  // Its own session: the browser it starts outlives a terminal we may be closed with.
  detail::InitSpawnAttributes(attr, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, "xdg-open", &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return;
  // The opener may run as long as the browser does; reaping it aside lets us return at
  // once and still leave no zombie behind.
  try {
    StartThread([pid] {
      int status;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    int status;
    waitpid(pid, &status, WNOHANG);
  }
}

}  // namespace tolvek
