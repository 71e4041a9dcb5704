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

}  // namespace
