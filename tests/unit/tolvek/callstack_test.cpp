#include "tolvek/callstack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "syslog_capture.h"

namespace tolvek {
namespace {

using testing::SyslogCapture;

TEST(Callstack, NestedProceduresAndReturns) {
  EXPECT_EQ(GetCallstack(), "");
  {
    TraceScope x("X");
    TraceScope y("Y");
    {
      TraceScope z("Z");
      EXPECT_EQ(GetCallstack(), "X() -> Y() -> Z()");
    }
    EXPECT_EQ(GetCallstack(), "X() -> Y()");
  }
  EXPECT_EQ(GetCallstack(), "");
}

TEST(Callstack, LongNamesKeepTheirFirst48Characters) {
  std::string name(60, 'n');
  name[47] = 'L';
  TraceScope scope(name);
  EXPECT_EQ(GetCallstack(), std::string(47, 'n') + "L()");
}

TEST(Callstack, EachThreadSeesOnlyItsOwnStack) {
  TraceScope outer("Main");
  std::string seen = "unset";
  std::thread([&] { seen = GetCallstack(); }).join();
  EXPECT_EQ(seen, "");
}

TEST(Callstack, AFullBlockKeepsCountingSoPopsStayMatched) {
  for (int i = 0; i < 1005; ++i) CallstackTrace("P" + std::to_string(i));
  std::string stack = GetCallstack();
  EXPECT_NE(stack.find("P999()"), std::string::npos);
  EXPECT_EQ(stack.find("P1000()"), std::string::npos);
  for (int i = 0; i < 1005; ++i) CallstackTrace("");
  EXPECT_EQ(GetCallstack(), "");
}

// The crash file names the innermost traced procedure's source file and line.
TEST(Callstack, TheInnermostTracedProcedureIsTheCurrentSourcePosition) {
  EXPECT_EQ(CurrentSourcePosition(), nullptr);
  const SourcePosition* inner = nullptr;
  std::string innerFile;
  int outerLine = 0, innerLine = 0;
  {
    TOLVEK_TRACE("Outer");
    outerLine = __LINE__ - 1;
    {
      TOLVEK_TRACE("Inner");
      innerLine = __LINE__ - 1;
      inner = CurrentSourcePosition();
      ASSERT_NE(inner, nullptr);
      innerFile = inner->m_file;
      EXPECT_EQ(inner->m_line, innerLine);
      // A scope without a position (a name pushed by hand) leaves the position as it is.
      TraceScope byHand("ByHand");
      EXPECT_EQ(CurrentSourcePosition(), inner);
      std::string other = "unset";
      std::thread([&other] {
        TOLVEK_TRACE("Elsewhere");
        other = CurrentSourcePosition()->m_file;
      }).join();
      EXPECT_EQ(other, "callstack_test.cpp");
    }
    ASSERT_NE(CurrentSourcePosition(), nullptr);
    EXPECT_EQ(CurrentSourcePosition()->m_line, outerLine);
    EXPECT_EQ(GetCallstack(), "Outer()");
  }
  EXPECT_EQ(innerFile, "callstack_test.cpp");
  EXPECT_NE(innerLine, outerLine);
  EXPECT_EQ(CurrentSourcePosition(), nullptr);
}

TEST(Callstack, NonFatalReportReturnsWithMessageBlankLineAndTrace) {
  SyslogCapture capture;
  {
    TraceScope a("Outer");
    TraceScope b("Inner");
    ReportError("x", false);
  }
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].type, kSyslogError);
  EXPECT_EQ(capture.events()[0].lines,
            (std::vector<std::string>{"x", "", "Callstack: Outer() -> Inner()"}));
}

void WriteR() {
  fputs("R", stderr);
}
void WriteP() {
  fputs("P", stderr);
}
void WriteQ() {
  fputs("Q", stderr);
  TraceScope inside("Finalizing");
  fprintf(stderr, "[%s]", GetCallstack().c_str());
}

TEST(CallstackDeathTest, EndProgramRunsFinalizersInListOrderAndExitsWithItsCode) {
  EXPECT_EXIT(
      {
        detail::ResetFinalizers();
        RegisterFinalizer(&WriteP, true);
        RegisterFinalizer(&WriteQ, false);
        RegisterFinalizer(&WriteR, true);
        EndProgram(3);
      },
      ::testing::ExitedWithCode(3), "RPQ\\[EndProgram\\(\\) -> Finalizing\\(\\)\\]");
}

TEST(CallstackDeathTest, FatalReportEndsAtOnceWithoutFinalizers) {
  EXPECT_EXIT(
      {
        SetSyslogSink(&testing::SyslogToStderr);
        detail::ResetFinalizers();
        RegisterFinalizer(&WriteP, false);
        ReportError("boom", true);
      },
      // The event, then the same report on standard error, and no finalizer's "P".
      ::testing::ExitedWithCode(1), "^\\[event 1\\] boom\n\nCallstack: \nboom\n\nCallstack: \n$");
}

TEST(CallstackDeathTest, PopOnAnEmptyStackIsAnUnderrunThatEndsTheProgram) {
  EXPECT_EXIT(
      {
        SetSyslogSink(&testing::SyslogToStderr);
        detail::ResetFinalizers();
        RegisterFinalizer(&WriteP, false);
        CallstackTrace("");
      },
      ::testing::ExitedWithCode(1), "Callstack underrun!\nP");
}

}  // namespace
}  // namespace tolvek
