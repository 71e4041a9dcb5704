#include "tolvek/crash_report.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "tolvek/callstack.h"

extern char** environ;

namespace tolvek {
namespace {

// Everything the handler needs is laid out in fixed storage before any fault: the handler
// itself allocates nothing and calls only async-signal-safe functions.
constexpr size_t kPathSize = 4096;
constexpr size_t kLinesSize = 2048;
constexpr size_t kFollowUpSize = 16384;
constexpr size_t kFollowUpArgs = 32;

struct FollowUp {
  char m_text[kFollowUpSize];
  // The program's arguments, then the one the handler adds (the report's path or ""), then
  // the terminating null.
  char* m_argv[kFollowUpArgs + 2];
  size_t m_count = 0;
};

struct CrashState {
  char m_reportPath[kPathSize];
  char m_head[kLinesSize];
  char m_tail[kLinesSize];
  bool m_callstack = false;
  // Two argument sets: the one being built never is the one the handler may read.
  FollowUp m_followUps[2];
  std::atomic<FollowUp*> m_followUp{nullptr};
  // The thread that writes the report (its kernel thread id); 0 before any fault.
  std::atomic<long> m_owner{0};
};
CrashState gCrash;
alignas(16) char gAltStack[1 << 16];

// The report text: the fault's lines and the program's own around them, a call stack of
// up to 1000 names of 48 bytes.
struct FixedText {
  char m_data[kLinesSize * 2 + 1000 * 54 + 1024];
  size_t m_size = 0;
  void Add(const char* text, size_t n) {
    for (size_t i = 0; i < n && m_size < sizeof m_data; ++i) m_data[m_size++] = text[i];
  }
  void Add(const char* text) { Add(text, std::strlen(text)); }
  void AddNumber(uint64_t value) {
    char digits[24];
    size_t n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) Add(&digits[--n], 1);
  }
};
FixedText gText;
// The report's temporary name; global like the text, as a fault may leave the handler only a
// small signal stack.
FixedText gPartPath;

void FillFaultLines(FixedText& out, uint64_t address, int code, const char* file, size_t fileLength,
                    int64_t line, const char* message, size_t messageLength) {
  out.Add("ErrorAddress(): ");
  out.AddNumber(address);
  out.Add("\r\nErrorCode(): ");
  out.AddNumber(static_cast<uint64_t>(code));
  out.Add("\r\nErrorFile(): ");
  out.Add(file, fileLength);
  out.Add("\r\nErrorLine(): ");
  if (line < 0) {
    out.Add("-");
    line = -line;
  }
  out.AddNumber(static_cast<uint64_t>(line));
  out.Add("\r\nErrorMessage(): ");
  out.Add(message, messageLength);
  out.Add("\r\n");
}

// Ends the process by the system call itself: no exit handlers, and none of a checking build's
// hooks on _exit, which would scan the whole heap from inside the signal handler.
[[noreturn]] void EndNow(int code) {
  for (;;) ::syscall(SYS_exit_group, code);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The report goes to "<path>.<pid>.part" first; only a complete file takes the real name.
// An older report goes first of all, so that whatever is found under the name after this
// crash is this crash's. True when the report stands under its name.
bool WriteReportFile(const FixedText& text) {
  if (gCrash.m_reportPath[0] == '\0') return false;
  ::unlink(gCrash.m_reportPath);
  FixedText& part = gPartPath;
  part.m_size = 0;
  part.Add(gCrash.m_reportPath);
  part.Add(".");
  part.AddNumber(static_cast<uint64_t>(::getpid()));
  part.Add(".part");
  if (part.m_size >= sizeof part.m_data) return false;
  part.m_data[part.m_size] = '\0';
  ::unlink(part.m_data);
  int fd = ::open(part.m_data, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool written = WriteAll(fd, text.m_data, text.m_size);
  written &= ::fsync(fd) == 0;
  written &= ::close(fd) == 0;
  if (written && ::rename(part.m_data, gCrash.m_reportPath) == 0) return true;
  ::unlink(part.m_data);
  return false;
}

// The signals a follow-up must not inherit as blocked or ignored: all of them. The kernel's
// own form of sigaction, as the plain system call takes it.
struct KernelSigaction {
  void (*m_handler)(int);
  unsigned long m_flags;
  void (*m_restorer)();
  uint64_t m_mask;
};
constexpr int kLastSignal = 64;

void StartFollowUp(bool written) {
  FollowUp* followUp = gCrash.m_followUp.load();
  if (!followUp || !followUp->m_argv[0]) return;
  static char none[] = "";
  followUp->m_argv[followUp->m_count] = written ? gCrash.m_reportPath : none;
  followUp->m_argv[followUp->m_count + 1] = nullptr;
  // The fork and the child's steps are plain system calls: no atfork handlers run, nothing of
  // ours runs twice, and no library wrapper (nor a checking build's hook) works out stacks or
  // locks from inside the signal handler. The child only replaces itself.
  const long pid = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (pid == 0) {
    // The faulting thread's mask and the program's ignored signals would pass through exec:
    // the fresh program starts as any program does.
    const KernelSigaction byDefault{SIG_DFL, 0, nullptr, 0};
    for (int signal = 1; signal <= kLastSignal; ++signal) {
      if (signal != SIGKILL && signal != SIGSTOP)
        ::syscall(SYS_rt_sigaction, signal, &byDefault, nullptr, sizeof(uint64_t));
    }
    const uint64_t noneBlocked = 0;
    ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &noneBlocked, nullptr, sizeof noneBlocked);
    const long null = ::syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDONLY | O_CLOEXEC);
    if (null > 0) ::syscall(SYS_dup3, null, STDIN_FILENO, 0);
    if (null == 0) ::syscall(SYS_fcntl, STDIN_FILENO, F_SETFD, 0);
    // Nor does a descriptor a library opened without close-on-exec pass on.
    if (::syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0) != 0) {
      for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) ::syscall(SYS_close, fd);
    }
    ::syscall(SYS_setsid);
    ::syscall(SYS_execve, followUp->m_argv[0], followUp->m_argv, environ);
    EndNow(127);
  }
}

[[noreturn]] void WriteReportAndEnd(uint64_t address, int code, const char* message) {
  // The first thread in owns the report. Another thread that faults meanwhile waits for the
  // owner to end the process; the owner faulting again ends it at once, taking its
  // unfinished file along.
  const long self = ::syscall(SYS_gettid);
  long owner = 0;
  if (!gCrash.m_owner.compare_exchange_strong(owner, self)) {
    if (owner == self) {
      if (gPartPath.m_size > 0 && gPartPath.m_size < sizeof gPartPath.m_data)
        ::unlink(gPartPath.m_data);
      EndNow(1);
    }
    for (;;) ::pause();
  }
  FixedText& text = gText;
  text.m_size = 0;
  text.Add(gCrash.m_head);
  const SourcePosition* position = CurrentSourcePosition();
  const char* file = position ? position->m_file : "";
  FillFaultLines(text, address, code, file, std::strlen(file), position ? position->m_line : 0,
                 message, std::strlen(message));
  if (gCrash.m_callstack) {
    text.Add("\r\nCallstack: ");
    char* room = text.m_data + text.m_size;
    text.m_size += detail::FormatCallstack(room, sizeof text.m_data - text.m_size);
    text.Add("\r\n\r\n");
  }
  text.Add(gCrash.m_tail);
  StartFollowUp(WriteReportFile(text));
  EndNow(1);
}

const char* SignalMessage(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "Invalid memory access (SIGSEGV)";
    case SIGBUS:
      return "Bus error (SIGBUS)";
    case SIGFPE:
      return "Arithmetic error (SIGFPE)";
    case SIGILL:
      return "Illegal instruction (SIGILL)";
    case SIGABRT:
      return "Program aborted (SIGABRT)";
  }
  return "Fatal signal";
}

void OnFatalSignal(int signal, siginfo_t*, void* context) {
  uint64_t address = 0;
#if defined(__x86_64__)
  address = static_cast<uint64_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  address = static_cast<ucontext_t*>(context)->uc_mcontext.pc;
#else
  (void)context;
#endif
  WriteReportAndEnd(address, signal, SignalMessage(signal));
}

void OnTerminate() {
  static char message[512];
  const char* what = "Unhandled exception";
  try {
    if (auto current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::strncpy(message, what, sizeof message - 1);
  WriteReportAndEnd(0, SIGABRT, message);
}

void CopyBounded(char* to, size_t cap, const std::string& from) {
  size_t n = from.size() < cap - 1 ? from.size() : cap - 1;
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

}  // namespace

std::string CrashReportText(uint64_t address, int code, std::string_view file, int64_t line,
                            std::string_view message) {
  FixedText text;
  FillFaultLines(text, address, code, file.data(), file.size(), line, message.data(),
                 message.size());
  return std::string(text.m_data, text.m_size);
}

void SetCrashFollowUp(const std::vector<std::string>& argv) {
  FollowUp* active = gCrash.m_followUp.load();
  FollowUp& next = active == &gCrash.m_followUps[0] ? gCrash.m_followUps[1] : gCrash.m_followUps[0];
  size_t used = 0;
  size_t count = 0;
  for (const std::string& arg : argv) {
    if (count == kFollowUpArgs || used + arg.size() + 1 > kFollowUpSize) break;
    std::memcpy(next.m_text + used, arg.c_str(), arg.size() + 1);
    next.m_argv[count++] = next.m_text + used;
    used += arg.size() + 1;
  }
  // An argument list that did not fit whole is no list: the follow-up would misread it.
  if (count != argv.size()) count = 0;
  next.m_argv[count] = nullptr;
  next.m_count = count;
  gCrash.m_followUp.store(count ? &next : nullptr);
}

void InstallCrashHandler(const CrashReportLayout& layout) {
  const char* home = std::getenv("HOME");
  gCrash.m_reportPath[0] = '\0';
  if (home != nullptr && *home != '\0' &&
      std::strlen(home) + layout.fileName.size() + 32 < kPathSize) {
    std::strcpy(gCrash.m_reportPath, home);
    if (gCrash.m_reportPath[std::strlen(home) - 1] != '/') std::strcat(gCrash.m_reportPath, "/");
    std::strcat(gCrash.m_reportPath, layout.fileName.c_str());
  }
  CopyBounded(gCrash.m_head, kLinesSize, layout.head);
  CopyBounded(gCrash.m_tail, kLinesSize, layout.tail);
  gCrash.m_callstack = layout.callstack;
  gCrash.m_owner = 0;

  stack_t stack{};
  stack.ss_sp = gAltStack;
  stack.ss_size = sizeof gAltStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  // The handler stays for every thread and every fault: a second faulting thread must wait
  // for the report rather than take the default end, and the owner's own second fault must
  // reach the handler again (not find its signal blocked) to end without leftovers.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    ::sigaction(signal, &action, nullptr);
  std::set_terminate(OnTerminate);
}

}  // namespace tolvek
