#include "tolvek/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"
#include "tolvek/threads.h"

extern char** environ;

namespace tolvek {

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

namespace {

// Untraced: a program's owner may go after this thread's trace is gone, at the end.
void EndGroup(pid_t pid) {
  // The group stays addressable while its leader is not collected, even after it ended.
  if (pid > 0 && kill(-pid, SIGKILL) != 0) kill(pid, SIGKILL);
}

int Collect(Program& program) {
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

}  // namespace

Program::Program(Program&& other) noexcept
    : pid(std::exchange(other.pid, -1)),
      outFd(std::exchange(other.outFd, -1)),
      errFd(std::exchange(other.errFd, -1)),
      errors(std::move(other.errors)),
      waitStatus(other.waitStatus) {}

Program& Program::operator=(Program&& other) noexcept {
  if (this != &other) {
    Program held(std::move(*this));  // what this held ends with it
    pid = std::exchange(other.pid, -1);
    outFd = std::exchange(other.outFd, -1);
    errFd = std::exchange(other.errFd, -1);
    errors = std::move(other.errors);
    waitStatus = other.waitStatus;
  }
  return *this;
}

Program::~Program() {
  EndGroup(pid);
  Collect(*this);
}

namespace {

// Everything the child needs, made before the fork: between fork and exec the child may
// only make plain system calls (another thread may hold the allocator's lock).
struct ChildPlan {
  std::vector<std::string> candidates;  // the paths to try, in order
  std::vector<char*> argv, envp;
  const char* directory = nullptr;
  int out = -1, err = -1;  // write ends of the pipes, or -1 for /dev/null
  int status = -1;         // where an exec failure's errno goes
  rlim_t addressSpace = 0;
  bool endWithParent = false;
  bool shareStreams = false;
  bool ownGroup = true;
  bool newSession = false;
  int executableFd = -1;
  pid_t parent = 0;
  int maxFd = 0;  // for marking descriptors one by one where the kernel cannot do it at once
};

// The paths a bare name may be found at, as a command line looks for it.
std::vector<std::string> Candidates(const std::string& file) {
  if (file.find('/') != std::string::npos) return {file};
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/bin:/usr/bin";
  std::vector<std::string> candidates;
  for (size_t pos = 0;;) {
    size_t colon = dirs.find(':', pos);
    std::string dir = dirs.substr(pos, colon == std::string::npos ? colon : colon - pos);
    candidates.push_back((dir.empty() ? "." : dir) + "/" + file);
    if (colon == std::string::npos) break;
    pos = colon + 1;
  }
  return candidates;
}

// A descriptor above the standard three, so that setting those up cannot close it.
int AboveStandard(int fd) {
  return fd >= 0 && fd <= STDERR_FILENO ? fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1) : fd;
}

[[noreturn]] void ChildFailed(int status) {
  int error = errno;
  ssize_t written;
  do written = write(status, &error, sizeof error);
  while (written < 0 && errno == EINTR);
  _exit(127);
}

[[noreturn]] void RunChild(const ChildPlan& plan) {
  int status = AboveStandard(plan.status);
  int executable = AboveStandard(plan.executableFd);
  // Handlers and ignored signals of ours are no business of the program (the converter
  // ignores SIGPIPE, for one); the mask is cleared last, once nothing of ours can run.
  struct sigaction byDefault;
  std::memset(&byDefault, 0, sizeof byDefault);
  byDefault.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &byDefault, nullptr);
  // Its own group: ending the group ends what it started too.
  if (plan.newSession ? setsid() < 0 : plan.ownGroup && setpgid(0, 0) != 0) ChildFailed(status);
  if (plan.endWithParent) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) ChildFailed(status);
    // The parent may have gone before the request was made.
    if (getppid() != plan.parent) _exit(127);
  }
  int null = AboveStandard(open("/dev/null", O_RDWR | O_CLOEXEC));
  int out = AboveStandard(plan.out >= 0 ? plan.out : plan.shareStreams ? STDOUT_FILENO : null);
  int err = AboveStandard(plan.err >= 0 ? plan.err : plan.shareStreams ? STDERR_FILENO : null);
  if (null < 0 || out < 0 || err < 0) ChildFailed(status);
  if (dup2(null, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
      dup2(err, STDERR_FILENO) < 0) {
    ChildFailed(status);
  }
  // Descriptors of ours opened without close-on-exec (a library's, another thread's)
  // stay with us.
  if (close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = STDERR_FILENO + 1; fd < plan.maxFd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  if (plan.directory && chdir(plan.directory) != 0) ChildFailed(status);
  if (plan.addressSpace > 0) {
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = plan.addressSpace;
    if (setrlimit(RLIMIT_AS, &limit) != 0) ChildFailed(status);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (executable >= 0) {
    execveat(executable, "", plan.argv.data(), plan.envp.data(), AT_EMPTY_PATH);
    // ENOENT: a script, whose interpreter could not open a closed descriptor.
    if (errno != ENOENT) ChildFailed(status);
  }
  int denied = 0;
  for (const std::string& candidate : plan.candidates) {
    execve(candidate.c_str(), plan.argv.data(), plan.envp.data());
    if (errno == EACCES) denied = EACCES;
  }
  if (denied) errno = denied;
  ChildFailed(status);
}

}  // namespace

bool StartProgram(const std::string& file, const std::vector<std::string>& args,
                  const std::string& directory, Program& program, const ProgramOptions& options) {
  TOLVEK_TRACE("StartProgram");
  program = Program{};
  if (file.empty()) {
    errno = ENOENT;
    return false;
  }
  int out[2] = {-1, -1}, err[2] = {-1, -1}, status[2] = {-1, -1};
  auto closeAll = [&] {
    for (int* fd : {&out[0], &out[1], &err[0], &err[1], &status[0], &status[1]}) ClosePipe(*fd);
  };
  if ((options.redirect && (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)) ||
      pipe2(status, O_CLOEXEC) != 0) {
    int error = errno;
    closeAll();
    errno = error;
    return false;
  }
  std::vector<std::string> envStrings = Environment(options.environment);
  ChildPlan plan;
  plan.candidates = Candidates(file);
  for (std::string& e : envStrings) plan.envp.push_back(e.data());
  plan.envp.push_back(nullptr);
  plan.argv.push_back(const_cast<char*>(file.c_str()));
  for (const std::string& a : args) plan.argv.push_back(const_cast<char*>(a.c_str()));
  plan.argv.push_back(nullptr);
  if (!directory.empty()) plan.directory = directory.c_str();
  plan.out = out[1];
  plan.err = err[1];
  plan.status = status[1];
  plan.addressSpace = static_cast<rlim_t>(std::max<int64_t>(options.addressSpaceLimit, 0));
  plan.endWithParent = options.endWithParent;
  plan.shareStreams = options.shareStreams;
  plan.ownGroup = options.ownGroup;
  plan.newSession = options.newSession;
  plan.executableFd = options.executableFd;
  plan.parent = getpid();
  struct rlimit files;
  plan.maxFd = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                   ? static_cast<int>(files.rlim_cur)
                   : 65536;

  // No handler of ours may run in the child before it has put the defaults back.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  pid_t pid = fork();
  if (pid == 0) RunChild(plan);
  int forkError = errno;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ClosePipe(out[1]);
  ClosePipe(err[1]);
  ClosePipe(status[1]);
  if (pid < 0) {
    closeAll();
    errno = forkError;
    return false;
  }
  // The status pipe closes unread when the exec succeeds; else it carries the reason.
  int childError = 0;
  ssize_t got;
  do got = read(status[0], &childError, sizeof childError);
  while (got < 0 && errno == EINTR);
  ClosePipe(status[0]);
  if (got > 0) {
    int childStatus;
    while (waitpid(pid, &childStatus, 0) < 0 && errno == EINTR) {
    }
    closeAll();
    errno = childError ? childError : ECHILD;
    return false;
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
  EndGroup(program.pid);
}

int CloseProgram(Program& program) {
  TOLVEK_TRACE("CloseProgram");
  return Collect(program);
}

void ProgramReaper::Adopt(Program& program) {
  ClosePipe(program.outFd);
  ClosePipe(program.errFd);
  if (program.pid > 0) m_pids.push_back(program.pid);
  program.pid = -1;
}

size_t ProgramReaper::Reap() {
  std::erase_if(m_pids, [](pid_t pid) {
    int status;
    pid_t rc;
    do rc = waitpid(pid, &status, WNOHANG);
    while (rc < 0 && errno == EINTR);
    return rc != 0;  // collected, or no child of ours any more
  });
  return m_pids.size();
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
  ProgramOptions options;
  options.redirect = false;
  options.shareStreams = true;
  // The browser it starts outlives us and a terminal we may be closed with.
  options.endWithParent = false;
  options.newSession = true;
  Program opener;
  if (!StartProgram("xdg-open", {url}, "", opener, options)) return;
  // The opener may run as long as the browser does; collecting it aside lets us return at
  // once and still leave no zombie behind.
  const pid_t pid = std::exchange(opener.pid, -1);
  auto collect = [pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  };
  try {
    StartThread(collect).detach();
  } catch (const std::system_error&) {
    int status;
    waitpid(pid, &status, WNOHANG);
  }
}

}  // namespace tolvek
