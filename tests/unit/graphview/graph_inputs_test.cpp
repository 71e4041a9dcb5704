#include "graphview/graph_inputs.h"

#include <gtest/gtest.h>

#include <string>

#include "tolvek/text_codec.h"

namespace graphview {
namespace {

const std::string kHeader =
    "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\","
    "\"TID\"";

TEST(GraphInputs, ModeStringKeepsItsOrder) {
  EXPECT_EQ(BuildModeString({}), "lumivex");
  EXPECT_EQ(BuildModeString({true, true, true, true, true}),
            "lumivex,nopaths,compressed,dumb,rof,forceascii");
  EXPECT_EQ(BuildModeString({.dumb = true, .forceAscii = true}), "lumivex,dumb,forceascii");
}

TEST(GraphInputs, HeaderCheck) {
  struct Case {
    std::string bytes;
    bool ok;
  } cases[] = {
      {"\xEF\xBB\xBF" + kHeader + "\r\n\"a\"", true},
      {"tid,DETAIL,Result,path,operation,pid,Process Name,Time of Day,Extra\n", true},
      {"Time of Day,Process Name,PID,Operation,Path,Result,Detail\n1,2", false},  // no tid
      {tolvek::Utf8ToUtf16Le(kHeader + "\r\n"), true},  // UTF-16 without a byte-order mark
      {"\xFF\xFE" + tolvek::Utf8ToUtf16Le(kHeader + "\r\n\"x\""), true},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckCsvHeader(c.bytes), c.ok) << c.bytes;
}

TEST(GraphInputs, ArgumentsAndCaptures) {
  std::vector<std::string> args = ConverterArguments("/l og.csv", "/g.dot", "lumivex", "");
  EXPECT_EQ(args, (std::vector<std::string>{"/l og.csv", "/g.dot", "lumivex", ""}));
  EXPECT_EQ(QuotedParameters(args), "\"/l og.csv\" \"/g.dot\" \"lumivex\" \"\"");
  EXPECT_TRUE(IsPcapCapture("/x/DUMP.PCAP"));
  EXPECT_TRUE(IsPcapCapture("a.pcap"));
  EXPECT_FALSE(IsPcapCapture("a.txt"));
  EXPECT_FALSE(IsPcapCapture(""));
  EXPECT_EQ(CaptureToolArguments("/c.pcap"),
            (std::vector<std::string>{"-n", "-p", "-r", "/c.pcap"}));
}

std::string Rows(const std::string& pidAndName, const std::string& lineEnd) {
  return "\"\",\"\",\"\",\"\",\"KALVO_EXECUTES_SAMPLE_kalvo.bat\",\"SUCCESS\",\"\",\"\"" + lineEnd +
         "\"\",\"kalvo-cpp.exe\",\"*1*\",\"Process Create\",\"\",\"SUCCESS\",\"PID: *2*, Command "
         "line: ++++++++\",\"\"" +
         lineEnd + "\"\",\"kalvo-cpp.exe\",\"*2*\",\"Process Create\",\"\",\"SUCCESS\",\"" +
         pidAndName + "\",\"\"" + lineEnd;
}

TEST(LauncherCopy, RowsGoBeforeTheChosenRecordInTheLogsOwnLineBreak) {
  for (std::string lineEnd : {"\r\n", "\n"}) {
    std::string first =
        "\"1:00:00 PM\",\"a.exe\",\"10\",\"ReadFile\",\"x\",\"SUCCESS\",\"\",\"11\"";
    std::string chosen = "\"1:00:01 PM\",\"b.exe\",\"20\",\"Process Start\",\"\",\"S\",\"\",\"21\"";
    std::string before = "\xEF\xBB\xBF" + kHeader + lineEnd + first + lineEnd;
    std::string log = before + chosen + lineEnd;
    LauncherCopy copy = BuildLauncherCopy(log, std::to_string(before.size()) + "|20|b.exe");
    ASSERT_TRUE(copy.ok) << copy.message;
    std::string rows = Rows("PID: 20, Command line: b.exe", lineEnd);
    EXPECT_EQ(copy.bytes, before + rows + chosen + lineEnd);
    if (lineEnd == "\r\n") {
      EXPECT_EQ(copy.bytes.size(), log.size() + rows.size());
    }
  }
}

TEST(LauncherCopy, QuotesOfThePidAndNameAreDoubledAndColumnsFollowTheHeader) {
  // A lone quote inside a field is left as it is by the launcher list, so it can reach a name.
  std::string header = "PID,Detail,Process Name\r\n";
  std::string record = "\"7\",\"2\",\"a\"b.exe\"\r\n";
  LauncherCopy copy = BuildLauncherCopy(header + record, "25|7|a\"b.exe");
  ASSERT_TRUE(copy.ok) << copy.message;
  EXPECT_EQ(copy.bytes, header +
                            "\"\",\"\",\"\"\r\n\"*1*\",\"PID: *2*, Command line: "
                            "++++++++\",\"kalvo-cpp.exe\"\r\n\"*2*\",\"PID: 7, Command line: "
                            "a\"\"b.exe\",\"kalvo-cpp.exe\"\r\n" +
                            record);
}

TEST(LauncherCopy, Utf16LogGetsUtf16Rows) {
  std::string before = "\xFF\xFE" + tolvek::Utf8ToUtf16Le(kHeader + "\r\n");
  std::string record =
      tolvek::Utf8ToUtf16Le("\"t\",\"b.exe\",\"20\",\"x\",\"\",\"\",\"\",\"21\"\r\n");
  LauncherCopy copy =
      BuildLauncherCopy(before + record, std::to_string(before.size()) + "|20|b.exe");
  ASSERT_TRUE(copy.ok) << copy.message;
  EXPECT_EQ(copy.bytes,
            before + tolvek::Utf8ToUtf16Le(Rows("PID: 20, Command line: b.exe", "\r\n")) + record);
}

TEST(LauncherCopy, PositionsThatAreNoRecordStartMakeNoCopy) {
  std::string log = kHeader + "\r\n\"a\",\"multi\r\nline\",\"c\"\r\n\"next\"\r\n";
  size_t firstRecord = kHeader.size() + 2;
  size_t insideQuotes = log.find("line\"");
  size_t next = log.find("\"next\"");
  for (std::string launcher :
       {std::string("0|1|a"), std::string("1|1|a"), std::to_string(firstRecord + 1) + "|1|a",
        std::to_string(insideQuotes) + "|1|a", std::to_string(log.size()) + "|1|a",
        std::to_string(log.size() + 2) + "|1|a", std::to_string(firstRecord - 1) + "|1|a",
        std::string("x|1|a"), std::string("|1|a"), std::string("99999999999999999999|1|a")}) {
    LauncherCopy copy = BuildLauncherCopy(log, launcher);
    EXPECT_FALSE(copy.ok) << launcher;
    EXPECT_FALSE(copy.message.empty()) << launcher;
    EXPECT_TRUE(copy.bytes.empty()) << launcher;
  }
  EXPECT_TRUE(BuildLauncherCopy(log, std::to_string(firstRecord) + "|c|multiline").ok);
  EXPECT_TRUE(BuildLauncherCopy(log, std::to_string(next) + "||").ok);
}

// A launcher chosen in another log points at a record start there; here the record at that
// position may be another process's, which must not be followed as the sample.
TEST(LauncherCopy, TheRecordAtThePositionMustNameTheLaunchersPidAndName) {
  std::string before = kHeader + "\r\n";
  std::string record =
      "\"t\",\"it's \"\"q\"\".exe\",\"20\",\"x\",\"multi\r\nline\",\"\",\"\",\"21\"\r\n";
  std::string log = before + record + "\"t\",\"b.exe\",\"30\",\"x\",\"\",\"\",\"\",\"31\"\r\n";
  const std::string at = std::to_string(before.size());
  const struct {
    std::string launcher;
    bool applied;
  } kCases[] = {
      {at + "|20|it_0x27_s _0x22_q_0x22_.exe", true},
      {at + "|20|b.exe", false},
      {at + "|30|it_0x27_s _0x22_q_0x22_.exe", false},
      {at + "|2|it_0x27_s _0x22_q_0x22_.exe", false},
      {at + "|20|it's \"\"q\"\".exe", false},
      {std::to_string(before.size() + record.size()) + "|30|b.exe", true},
  };
  for (const auto& c : kCases) {
    LauncherRows rows = MakeLauncherRows(log, c.launcher);
    EXPECT_EQ(rows.ok, c.applied) << c.launcher;
    EXPECT_EQ(rows.message.empty(), c.applied) << c.launcher;
  }
  // Bytes that end inside the record say so, so the caller can read on.
  LauncherRows cut = MakeLauncherRows(log.substr(0, before.size() + 20), at + "|20|b.exe");
  EXPECT_TRUE(cut.recordCut);
  EXPECT_FALSE(MakeLauncherRows(log, at + "|20|b.exe").recordCut);
}

TEST(GraphInputs, AutostartIdsFromNodeLinesOnly) {
  std::string dot =
      "digraph G {\r\n\r\n"
      "  \"REGISTRYKEY:hkcu\\\\run\\\\x\"   [label = \"HKCU\\\\Run\\\\x\\n(AUTOSTART!)\"];\r\n"
      "  \"THREAD:1:2\" -> \"REGISTRYKEY:hkcu\\\\run\\\\x\"    [label = \"(AUTOSTART!)\"];\r\n"
      "  \"REGISTRY (AUTOSTART!)\"   [label = \"Registry\"];\r\n"
      "  \"REGISTRYKEY:hklm\\\\y\"   [label = \"HKLM\\\\y\"];\r\n"
      "  \"REGISTRYKEY:hkcu\\\\run\\\\x\"   [label = \"again (AUTOSTART!)\"];\r\n}\r\n";
  EXPECT_EQ(
      CollectAutostartIds(dot),
      (std::vector<std::string>{"\"REGISTRYKEY:hkcu\\\\run\\\\x\"", "\"REGISTRY (AUTOSTART!)\"",
                                "\"REGISTRYKEY:hkcu\\\\run\\\\x\""}));
}

}  // namespace
}  // namespace graphview
