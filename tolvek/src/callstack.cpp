#include "tolvek/callstack.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tolvek/syslog.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

constexpr int64_t kSlotSize = 50;
constexpr size_t kSlotText = 48;
constexpr int64_t kBlockSize = 50000;

// One block per thread. The block comes straight from calloc: the traced allocator would
// trace itself into this very stack.
struct ThreadStack {
  char* block = nullptr;
  int64_t offset = 0;  // counts on past the block when it is full, so pops stay matched
  ~ThreadStack() { std::free(block); }
};
thread_local ThreadStack tStack;

std::vector<Finalizer>& Finalizers() {
  static std::vector<Finalizer> list;
  return list;
}
EndProgramHandler gEndHandler = nullptr;

// Single-byte form of a name: ASCII passes, anything else becomes its ANSI byte.
void StoreName(char* slot, std::string_view name) {
  size_t n = 0;
  bool ascii = true;
  for (char c : name) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    n = name.size() < kSlotText ? name.size() : kSlotText;
    std::memcpy(slot, name.data(), n);
  } else {
    std::string ansi = Utf8ToAnsi(name);
    n = ansi.size() < kSlotText ? ansi.size() : kSlotText;
    std::memcpy(slot, ansi.data(), n);
  }
  slot[n] = '\0';
}

}  // namespace

constinit thread_local const SourcePosition* detail::tPosition = nullptr;

const SourcePosition* CurrentSourcePosition() {
  return detail::tPosition;
}

void CallstackTrace(std::string_view name) {
  ThreadStack& s = tStack;
  if (!s.block) {
    s.block = static_cast<char*>(std::calloc(1, kBlockSize));
    if (!s.block) return;  // no trace for this thread rather than a crash
  }
  if (!name.empty()) {
    if (s.offset + kSlotSize <= kBlockSize) StoreName(s.block + s.offset, name);
    s.offset += kSlotSize;
    return;
  }
  s.offset -= kSlotSize;
  if (s.offset < 0) {
    s.offset = 0;
    SyslogError("Callstack underrun!");
    EndProgram(1);
  }
}

size_t detail::FormatCallstack(char* buf, size_t cap) {
  const ThreadStack& s = tStack;
  size_t len = 0;
  auto put = [&](const char* text, size_t n) {
    if (len + n > cap) n = cap - len;
    std::memcpy(buf + len, text, n);
    len += n;
  };
  if (!s.block) return 0;
  int64_t stored = s.offset < kBlockSize ? s.offset : kBlockSize - kBlockSize % kSlotSize;
  for (int64_t off = 0; off < stored; off += kSlotSize) {
    if (off > 0) put(" -> ", 4);
    put(s.block + off, strnlen(s.block + off, kSlotText));
    put("()", 2);
  }
  return len;
}

std::string GetCallstack() {
  const ThreadStack& s = tStack;
  if (!s.block || s.offset <= 0) return {};
  std::string ansi;
  ansi.resize(static_cast<size_t>(s.offset / kSlotSize) * (kSlotText + 6));
  ansi.resize(detail::FormatCallstack(ansi.data(), ansi.size()));
  return AnsiToUtf8(ansi);
}

void detail::ReportError(std::string_view message, bool fatal) {
  // Built in a fixed buffer: this is also the out-of-memory path.
  static thread_local char text[8192 + kBlockSize / kSlotSize * (kSlotText + 6)];
  size_t len = 0;
  size_t cap = sizeof(text);
  auto put = [&](const char* p, size_t n) {
    if (len + n > cap) n = cap - len;
    std::memcpy(text + len, p, n);
    len += n;
  };
  // The message's lines, the empty line and the "Callstack: " line; a message that ends
  // in LF keeps it, as the lines of the event would.
  size_t room = 8000;
  put(message.data(), message.size() < room ? message.size() : room);
  put("\n\nCallstack: ", 13);
  len += FormatCallstack(text + len, cap - len);
  SyslogRaw(kSyslogError, std::string_view(text, len));
  if (fatal) {
    // The system log is often out of the user's sight: a report that ends the program is
    // shown where the user started it too.
    put("\n", 1);
    for (size_t done = 0; done < len;) {
      ssize_t n = write(STDERR_FILENO, text + done, len - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    std::fflush(stdout);
    _exit(1);
  }
}

void ReportError(std::string_view message, bool fatal) {
  detail::ReportError(message, fatal);
}

void RegisterFinalizer(Finalizer procedure, bool first) {
  auto& list = Finalizers();
  if (first) {
    list.insert(list.begin(), procedure);
  } else {
    list.push_back(procedure);
  }
}

void SetEndProgramHandler(EndProgramHandler handler) {
  gEndHandler = handler;
}

void detail::ResetFinalizers() {
  Finalizers().clear();
}
size_t detail::FinalizerCount() {
  return Finalizers().size();
}

void EndProgram(int64_t exitCode) {
#if TOLVEK_TRACE_CALLS
  CallstackTrace("EndProgram");  // never popped: reports from finalizers show the way here
#endif
  // Index loop: a finalizer may still append to the list.
  auto& list = Finalizers();
  for (size_t i = 0; i < list.size(); ++i) list[i]();
  if (gEndHandler) gEndHandler(exitCode);
  std::fflush(nullptr);
  std::exit(static_cast<int>(exitCode));
}

}  // namespace tolvek
