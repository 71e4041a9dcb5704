#include <gtest/gtest.h>

#include <string>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/syslog.h"

namespace {

std::string gLast;
void Capture(int, std::string_view text) {
  gLast = std::string(text);
}

TEST(ConverterBuild, ReportsCarryAnEmptyCallstack) {
  tolvek::SetSyslogSink(&Capture);
  void* block = tolvek::AllocateMemoryWithCheck(16);  // would push a name if traced
  tolvek::FreeMemory(block);
  EXPECT_EQ(tolvek::GetCallstack(), "");
  tolvek::ReportError("x", false);
  EXPECT_EQ(gLast, "x\n\nCallstack: ");
  tolvek::SetSyslogSink(nullptr);
}

// The converter's build keeps no names, but its crash file still names the position.
TEST(ConverterBuild, TracedProceduresKeepTheirSourcePositionOnly) {
  int line = 0;
  {
    TOLVEK_TRACE("Traced");
    line = __LINE__ - 1;
    EXPECT_EQ(tolvek::GetCallstack(), "");
    ASSERT_NE(tolvek::CurrentSourcePosition(), nullptr);
    EXPECT_EQ(std::string(tolvek::CurrentSourcePosition()->m_file), "notrace_test.cpp");
    EXPECT_EQ(tolvek::CurrentSourcePosition()->m_line, line);
  }
  EXPECT_EQ(tolvek::CurrentSourcePosition(), nullptr);
}

}  // namespace
