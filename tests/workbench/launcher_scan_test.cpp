// The launcher scan over small logs: which processes are listed, in which order and colour,
// at which byte positions, and what the scan makes of odd records and headers.
#include "workbench/launcher_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphview/graph_inputs.h"
#include "tolvek/text_codec.h"

namespace {

using namespace workbench;

const std::string kHeader =
    "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\","
    "\"TID\"";

std::string Record(const std::string& name, const std::string& pid, const std::string& op) {
  return "\"1:00:00\",\"" + name + "\",\"" + pid + "\",\"" + op +
         "\",\"C:\\x\",\"SUCCESS\",\"\","
         "\"7\"";
}

struct Log {
  std::string bytes;
  std::vector<size_t> at;  // where each record begins
};

Log MakeLog(const std::string& start, const std::vector<std::string>& records,
            const std::string& lineEnd, bool utf16) {
  Log log;
  std::string text = kHeader + lineEnd;
  for (const std::string& record : records) {
    log.at.push_back(start.size() + (utf16 ? 2 : 1) * text.size());
    text += record + lineEnd;
  }
  log.bytes = start + (utf16 ? tolvek::Utf8ToUtf16Le(text) : text);
  return log;
}

TEST(LauncherScanTest, StartedProcessesFirstThenTheRunningOnesOnceEach) {
  const std::vector<std::string> records = {
      Record("old.exe", "10", "RegOpenKey"),
      Record("old.exe", "10", "ReadFile"),
      // A quoted line break: one record over two lines.
      "\"1:00:02\",\"sample.exe\",\"20\",\"Process Start\",\"\",\"SUCCESS\",\"Command line: "
      "\"\"a\nb\"\" x\",\"21\"",
      Record("sample.exe", "20", "Thread Create"),
      Record("it's \"\"q\"\".exe", "30", "ReadFile"),
      Record("old.exe", "10", "Process Start"),
      "\"1:00:06\",\"short.exe\"",
  };
  const struct {
    const char* what;
    std::string start, lineEnd;
    bool utf16;
  } kCases[] = {
      {"UTF-8 with a byte-order mark, CR LF", "\xEF\xBB\xBF", "\r\n", false},
      {"plain, LF", "", "\n", false},
      {"UTF-16", "\xFF\xFE", "\r\n", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Log log = MakeLog(c.start, records, c.lineEnd, c.utf16);
    int calls = 0;
    LauncherScan scan = ScanLaunchers(log.bytes, [&](int64_t position, int64_t size) {
      EXPECT_LE(position, size);
      ++calls;
      return true;
    });
    ASSERT_TRUE(scan.headerOk);
    EXPECT_FALSE(scan.cancelled);
    EXPECT_GE(calls, 1);
    auto row = [&](size_t r, const std::string& rest) { return std::to_string(log.at[r]) + rest; };
    const std::string grey = "{{color:lightgray}}";
    EXPECT_EQ(scan.started,
              (std::vector<std::string>{row(2, "|20|sample.exe"), row(5, "|10|old.exe")}));
    EXPECT_EQ(scan.running,
              (std::vector<std::string>{grey + row(0, "|10|old.exe"),
                                        grey + row(4, "|30|it_0x27_s _0x22_q_0x22_.exe"),
                                        grey + row(6, "||short.exe")}));
    EXPECT_EQ(LauncherListItems(scan), "\n" + scan.started[0] + "\n" + scan.started[1] + "\n" +
                                           scan.running[0] + "\n" + scan.running[1] + "\n" +
                                           scan.running[2]);
    // Every listed position is where the generation can put the launcher's rows.
    for (const std::string& listed : scan.started) {
      EXPECT_TRUE(graphview::MakeLauncherRows(log.bytes, listed).ok) << listed;
    }
  }
}

TEST(LauncherScanTest, OddEndsAndHeaders) {
  // A last line without its closing quote and empty lines are read to the end.
  std::string log = kHeader + "\r\n\r\n" + Record("a.exe", "1", "x") + "\r\n" +
                    "\"1:00:00\",\"b.exe\",\"2\",\"x\",\"\",\"\",\"\",\"7\r\n\r\n";
  LauncherScan scan = ScanLaunchers(log, [](int64_t, int64_t) { return true; });
  ASSERT_EQ(scan.running.size(), 2u);
  EXPECT_EQ(scan.running[0],
            "{{color:lightgray}}" + std::to_string(kHeader.size() + 4) + "|1|a.exe");
  EXPECT_NE(scan.running[1].find("|2|b.exe"), std::string::npos);

  // Upper case without quotes is a header; one that lacks "tid" is not.
  EXPECT_TRUE(
      ScanLaunchers("TIME OF DAY,PROCESS NAME,PID,OPERATION,PATH,RESULT,DETAIL,TID\n", [](int64_t,
                                                                                          int64_t) {
        return true;
      }).headerOk);
  std::string noTid = kHeader.substr(0, kHeader.rfind(",\"TID\"")) + "\r\n" +
                      Record("a.exe", "1", "Process Start") + "\r\n";
  LauncherScan rejected = ScanLaunchers(noTid, [](int64_t, int64_t) { return true; });
  EXPECT_FALSE(rejected.headerOk);
  EXPECT_TRUE(rejected.started.empty());

  // Cancel stops the scan.
  LauncherScan cancelled = ScanLaunchers(log, [](int64_t, int64_t) { return false; });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_TRUE(cancelled.running.empty());
}

}  // namespace
