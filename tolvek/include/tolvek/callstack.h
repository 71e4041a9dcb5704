// Per-thread call-stack trace, error reports, finalizers and the orderly program end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#ifndef TOLVEK_TRACE_CALLS
#define TOLVEK_TRACE_CALLS 0
#endif

namespace tolvek {

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

// Pushes a name for the lifetime of a scope, so every return path pops it.
class TraceScope {
 public:
  explicit TraceScope(std::string_view name) { CallstackTrace(name); }
  ~TraceScope() { CallstackTrace({}); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;
};

}  // namespace tolvek

#define TOLVEK_TRACE_CONCAT2(a, b) a##b
#define TOLVEK_TRACE_CONCAT(a, b) TOLVEK_TRACE_CONCAT2(a, b)
#if TOLVEK_TRACE_CALLS
#define TOLVEK_TRACE(name) \
  ::tolvek::TraceScope TOLVEK_TRACE_CONCAT(tolvekTraceScope, __LINE__)(name)
#else
#define TOLVEK_TRACE(name) ((void)0)
#endif
