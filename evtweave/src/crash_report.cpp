#include "evtweave/crash_report.h"

#include <fcntl.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>

namespace evtweave {
namespace {

char gReportPath[4096];
alignas(16) char gAltStack[1 << 16];

// Only async-signal-safe work from here on: fixed buffers and write(2).
struct FixedText {
  char m_data[1024];
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

void FillReport(FixedText& out, uint64_t address, int code, const char* file, size_t fileLength,
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

void WriteReportAndEnd(uint64_t address, int code, const char* message) {
  FixedText text;
  FillReport(text, address, code, "", 0, 0, message, std::strlen(message));
  if (gReportPath[0] != '\0') {
    int fd = ::open(gReportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ssize_t ignored = ::write(fd, text.m_data, text.m_size);
      (void)ignored;
      ::close(fd);
    }
  }
  ::_exit(1);
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

}  // namespace

std::string CrashReportText(uint64_t address, int code, std::string_view file, int64_t line,
                            std::string_view message) {
  FixedText text;
  FillReport(text, address, code, file.data(), file.size(), line, message.data(), message.size());
  return std::string(text.m_data, text.m_size);
}

void InstallCrashHandler() {
  const char* home = std::getenv("HOME");
  gReportPath[0] = '\0';
  if (home != nullptr && *home != '\0' && std::strlen(home) + 32 < sizeof gReportPath) {
    std::strcpy(gReportPath, home);
    std::strcat(gReportPath, "/evtweave.error");
  }
  stack_t stack{};
  stack.ss_sp = gAltStack;
  stack.ss_size = sizeof gAltStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    ::sigaction(signal, &action, nullptr);
  std::set_terminate(OnTerminate);
}

}  // namespace evtweave
