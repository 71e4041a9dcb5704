#include "tolvek/memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "syslog_capture.h"
#include "tolvek/callstack.h"

namespace tolvek {
namespace {

TEST(Memory, BlocksKnowTheirSizeAndStartZeroed) {
  auto* block = static_cast<unsigned char*>(AllocateMemoryWithCheck(100));
  EXPECT_EQ(MemorySize(block), 100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[i], 0);
  FreeMemory(block);
  EXPECT_EQ(MemorySize(nullptr), 0);
}

TEST(Memory, AdvancedAllocationOfZeroIsNullWithoutReport) {
  testing::SyslogCapture capture;
  EXPECT_EQ(AllocateMemoryAdvanced(0), nullptr);
  EXPECT_TRUE(capture.events().empty());
}

TEST(Memory, ReallocationKeepsContentsAndZeroFillsGrowth) {
  auto* block = static_cast<unsigned char*>(AllocateMemoryWithCheck(4));
  std::memcpy(block, "\x01\x02\x03\x04", 4);
  EXPECT_EQ(ReAllocateMemoryAdvanced(block, 0), block);
  EXPECT_EQ(MemorySize(block), 4);
  auto* grown = static_cast<unsigned char*>(ReAllocateMemoryAdvanced(block, 6));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(MemorySize(grown), 6);
  EXPECT_EQ(std::memcmp(grown, "\x01\x02\x03\x04\x00\x00", 6), 0);
  FreeMemory(grown);

  auto* fresh = static_cast<unsigned char*>(ReAllocateMemoryAdvanced(nullptr, 10));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(MemorySize(fresh), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(fresh[i], 0);
  FreeMemory(fresh);
}

TEST(Memory, FailedReallocationKeepsTheOldBlock) {
  auto* block = static_cast<char*>(AllocateMemoryWithCheck(8));
  std::memcpy(block, "keepme!", 8);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReAllocateMemoryAdvanced(block, int64_t{1} << 62), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error! Not enough memory!\r\n");
  EXPECT_STREQ(block, "keepme!");
  EXPECT_EQ(MemorySize(block), 8);
  FreeMemory(block);
}

TEST(MemoryDeathTest, ExhaustionIsAFatalReportWithTheSizeAndTrace) {
  struct Case {
    int64_t size;
    const char* expected;
  };
  for (const Case& c :
       {Case{0, "allocate 0 bytes!"}, Case{int64_t{1} << 62, "allocate 4611686018427387904 bytes!"},
        Case{-5, "allocate -5 bytes!"}}) {
    EXPECT_EXIT(
        {
          SetSyslogSink(&testing::SyslogToStderr);
          TraceScope scope("NewStringbuffer");
          AllocateMemoryWithCheck(c.size);
        },
        ::testing::ExitedWithCode(1),
        std::string("Not enough memory available to ") + c.expected +
            "\n\nCallstack: NewStringbuffer\\(\\) -> AllocateMemoryWithCheck\\(\\)")
        << c.size;
  }
}

}  // namespace
}  // namespace tolvek
