// Per-thread call-stack trace, error reports, finalizers and the orderly program end.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#ifndef TOLVEK_TRACE_CALLS
#define TOLVEK_TRACE_CALLS 0
#endif

namespace tolvek {

// Where a traced procedure was entered: its source file's name (without folders; names are
// unique in the tree) and the line of its trace.
struct SourcePosition {
  const char* m_file;
  int m_line;
};

// The innermost traced procedure of the calling thread that is still running, or null. Read
// by the crash handler on the faulting thread, so it is a plain read of a thread's variable.
const SourcePosition* CurrentSourcePosition();

// Pushes Name on the calling thread's stack; an empty Name pops the newest entry.
void CallstackTrace(std::string_view name);

// The calling thread's stack, oldest first: "A() -> B()"; "" when empty.
std::string GetCallstack();

// Writes Message, an empty line and "Callstack: ..." as an error event. A fatal report
// ends the process at once with exit code 1 and runs no finalizers.
void ReportError(std::string_view message, bool fatal);

using Finalizer = void (*)();
// First puts the procedure at the head of the list, otherwise at its tail.
void RegisterFinalizer(Finalizer procedure, bool first);

// Runs the finalizers in list order and ends the process with ExitCode.
[[noreturn]] void EndProgram(int64_t exitCode);

// Test seam: called by EndProgram after the finalizers instead of ending the process.
// The handler must not return normally (it may throw); if it does, the process ends.
using EndProgramHandler = void (*)(int64_t exitCode);
void SetEndProgramHandler(EndProgramHandler handler);

namespace detail {
// The inner report: also reached directly by the allocator, which must not allocate on
// its way out. Builds the event text in a fixed buffer.
void ReportError(std::string_view message, bool fatal);

// Writes the calling thread's stack into buf without allocating; returns the length
// (truncated to cap).
size_t FormatCallstack(char* buf, size_t cap);

// Empties the finalizer list (tests only).
void ResetFinalizers();
size_t FinalizerCount();
}  // namespace detail

namespace detail {
// The thread's innermost position; each scope keeps the one it hides and puts it back.
extern constinit thread_local const SourcePosition* tPosition;

// Makes position the thread's current one. Only the crash handler reads it, at whatever
// instruction faulted: without the fences an optimising compiler drops the store as dead
// (the scope's end overwrites it) or moves it across the procedure's own memory accesses.
// They emit no instruction; they only keep memory accesses on their side.
inline void SetPosition(const SourcePosition* position) {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tPosition = position;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

consteval const char* FileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') name = p + 1;
  return name;
}
}  // namespace detail

// Makes a source position the thread's current one for the lifetime of a scope. The
// converter's build keeps this much of the trace: no names, two stores per procedure.
class PositionScope {
 public:
  PositionScope(const char* file, int line) : m_position{file, line}, m_hidden(detail::tPosition) {
    detail::SetPosition(&m_position);
  }
  ~PositionScope() { detail::SetPosition(m_hidden); }
  PositionScope(const PositionScope&) = delete;
  PositionScope& operator=(const PositionScope&) = delete;

 private:
  SourcePosition m_position;
  const SourcePosition* m_hidden;
};

// Pushes a name for the lifetime of a scope, so every return path pops it; with a source
// position, that is the thread's current one meanwhile.
class TraceScope {
 public:
  explicit TraceScope(std::string_view name) : m_position{}, m_hidden(detail::tPosition) {
    CallstackTrace(name);
  }
  TraceScope(std::string_view name, const char* file, int line)
      : m_position{file, line}, m_hidden(detail::tPosition) {
    CallstackTrace(name);
    detail::SetPosition(&m_position);
  }
  ~TraceScope() {
    detail::SetPosition(m_hidden);
    CallstackTrace({});
  }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  SourcePosition m_position;
  const SourcePosition* m_hidden;
};

}  // namespace tolvek

#define TOLVEK_TRACE_CONCAT2(a, b) a##b
#define TOLVEK_TRACE_CONCAT(a, b) TOLVEK_TRACE_CONCAT2(a, b)
#if TOLVEK_TRACE_CALLS
#define TOLVEK_TRACE(name)                                              \
  ::tolvek::TraceScope TOLVEK_TRACE_CONCAT(tolvekTraceScope, __LINE__)( \
      name, ::tolvek::detail::FileName(__FILE__), __LINE__)
#else
#define TOLVEK_TRACE(name)                                                 \
  ::tolvek::PositionScope TOLVEK_TRACE_CONCAT(tolvekTraceScope, __LINE__)( \
      ::tolvek::detail::FileName(__FILE__), __LINE__)
#endif
