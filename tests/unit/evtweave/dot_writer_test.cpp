#include "converter_fixture.h"
#include "evtweave/ignore_lists.h"

namespace evtweave::testing {
namespace {

using DotTest = ConverterTest;

std::string StatementsOf(const std::string& dot) {
  size_t start = dot.find("\r\n\r\n");
  return dot.substr(start + 4);
}

TEST_F(DotTest, NothingFollowedGivesTheHeaderAndTheEnd) {
  std::string dot = Convert(kHeader + Row({"t", "a", "1", "Process Create", "", "SUCCESS",
                                           "PID: 2, Command line: b", "3"}));
  EXPECT_EQ(dot,
            "digraph G {\r\n  graph [nodesep = 0.3]\r\n  rankdir = LR;\r\n  size = \"100,80\";\r\n"
            "  node [shape = tripleoctagon, style = filled, fillcolor = red, fontcolor = white, "
            "color = black];\r\n\r\n}\r\n");
}

// A parent that creates two children; the first child is never active, so its node is not
// written and the second child takes number 1.
TEST_F(DotTest, CreatedProcessesAreNumberedInFileOrderOfWrittenNodes) {
  std::string log =
      kHeader +
      Row({"t1", "p.exe", "1", "Process Create", "", "SUCCESS", "PID: 2, Command line: x", "9"}) +
      Row({"t2", "p.exe", "1", "Process Create", "", "SUCCESS", "PID: 3, Command line: y", "9"}) +
      Row({"t3", "y [1].exe", "3", "Process Start", "", "SUCCESS", "", "4"});
  std::string dot = StatementsOf(Convert(log, "lumivex,dumb"));
  EXPECT_EQ(dot.find("PROCESS:2-n1\"   ["), std::string::npos);
  // Only the leading number is renumbered, never text of the name.
  EXPECT_NE(
      dot.find("\"PROCESS:3-n2\"   [label = \"[1]\\ny [1].exe\\n(PID: 3)\", shape = box, "
               "style = filled, fillcolor = black, fontcolor = white, color = black]; // t3\r\n"),
      std::string::npos);
}

TEST_F(DotTest, PenWidthsGrowWithRepeatsAndAreClamped) {
  std::string log = kHeader + Row({"t0", "a", "1", "Process Start", "", "SUCCESS", "", "10"}) +
                    Row({"t0", "a", "1", "Thread Create", "", "SUCCESS", "Thread ID: 10", "10"});
  for (int i = 0; i < 3; ++i) {
    // The same thread created again: the create-thread statement repeats and weighs more.
    log += Row({"t1", "a", "1", "Thread Create", "", "SUCCESS", "Thread ID: 11", "10"});
  }
  log += Row({"t2", "b", "2", "Thread Create", "", "SUCCESS", "Thread ID: 20", "10"}) +
         Row({"t3", "b", "2", "RegQueryValue", "", "SUCCESS", "", "20"}) +
         Row({"t4", "a", "1", "RegQueryValue", "", "SUCCESS", "", "11-x"});
  std::string dot = StatementsOf(Convert(log, "lumivex,dumb"));
  EXPECT_NE(dot.find("[label = \"inject thread\", style = bold, arrowhead = vee, fontcolor = "
                     "magenta, color = magenta, penwidth = 7]; // t2\r\n"),
            std::string::npos);
  EXPECT_EQ(dot.find("has thread\", style = solid, arrowhead = none, fontcolor = black, color = "
                     "black, penwidth"),
            std::string::npos);
}

TEST_F(DotTest, TextFromTheLogCannotLeaveItsQuotes) {
  std::string evil = "x\"\"];[label=\"\"[3]\"\" \\";
  std::string log = kHeader +
                    Row({"t\"\"1", "p.exe", "1", "Process Create", "", "SUCCESS",
                         "PID: 2, Command line: x", "9"}) +
                    Row({"t2", evil, "2", "Process Start", "", "SUCCESS", "", "4"}) +
                    Row({"t3", "it's", "2", "RegQueryValue", "", "SUCCESS", "", "4"});
  std::string dot = StatementsOf(Convert(log, "lumivex,dumb"));
  EXPECT_NE(dot.find("[label = \"[1]\\nit's\\n(PID: 2)\""), std::string::npos);
  // Every statement line holds exactly the quotes the writer put there.
  size_t start = 0;
  for (size_t end; (end = dot.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = dot.substr(start, end - start);
    if (line == "}") continue;
    size_t quotes = std::count(line.begin(), line.end(), '"');
    bool edge = line.find(" -> ") != std::string::npos;
    EXPECT_EQ(quotes, edge ? 6u : 4u) << line;
    EXPECT_EQ(line.find("\\\" "), std::string::npos) << line;
  }
  EXPECT_NE(dot.find("// t'1\r\n"), std::string::npos);
}

TEST_F(DotTest, StopMarkerEndsTheAnalysisWithAProgressLine) {
  std::string log =
      kHeader +
      Row({"t1", "a", "1", "Process Create", "", "SUCCESS", "PID: 2, Command line: x", "9"}) +
      Row({"t2", "s", "4", "CreateFile", "C:\\KALVO_STOPS", "SUCCESS", "", "8"}) +
      Row({"t3", "a", "1", "Process Create", "", "SUCCESS", "PID: 3, Command line: y", "9"});
  std::string dot = Convert(log, "lumivex,dumb");
  EXPECT_NE(CapturedOutput().find("    Stop marker in line 3"), std::string::npos);
  EXPECT_EQ(dot.find("PROCESS:4-"), std::string::npos);
  EXPECT_EQ(dot.find("PROCESS:3-"), std::string::npos);
  EXPECT_NE(dot.find("\"PROCESS:1-o1\"   ["), std::string::npos);
}

TEST_F(DotTest, UnwritablePathIsAnErrorAndWritesNothing) {
  Convert(kHeader + Row({"t", "a", "1", "x", "", "SUCCESS", "", "2"}));
  State().DotFile = "/nonexistent-folder/out.dot";
  EXPECT_FALSE(WriteDotFile());
  EXPECT_NE(CapturedOutput().find("Error: Couldn't write file '/nonexistent-folder/out.dot'!\r\n"),
            std::string::npos);
  EXPECT_TRUE(State().m_failed);
}

// Graphviz rejects strings beyond its buffer: ids and labels are cut at 4,000 bytes (back to
// where a character begins) and keep 16 hex digits of their MD5, so ids that differ only
// after the cut stay two nodes. The details file keeps the full path under the cut id.
TEST_F(DotTest, LongIdsAndLabelsAreCutWithTheirFingerprint) {
  // The id ("FILE:" + path) has its € across byte 4000; the label is cut after it.
  std::string stem = "C:\\" + std::string(3990, 'd') + "\xE2\x82\xAC";
  std::string log = kHeader;
  for (const char* tail : {"\\one.txt", "\\two.txt"}) {
    log += Row({"t", "a", "1", "CreateFile", stem + tail, "SUCCESS",
                "Options: Non-Directory File, OpenResult: Created", "2"});
  }
  std::string dot = StatementsOf(Convert(log, "lumivex,dumb"));
  std::string id = "FILE:" + LowerCase(stem + "\\one.txt");
  std::string cutId = id.substr(0, 3998) + "..." + Md5Hex(id).substr(0, 16);
  std::string escaped = ReplaceAll(cutId, "\\", "\\\\");
  EXPECT_NE(dot.find("\"" + escaped + "\"   [label = \""), std::string::npos);
  std::string otherId = "FILE:" + LowerCase(stem + "\\two.txt");
  EXPECT_NE(Md5Hex(otherId).substr(0, 16), Md5Hex(id).substr(0, 16));
  EXPECT_NE(dot.find(Md5Hex(otherId).substr(0, 16)), std::string::npos);
  std::string label =
      (stem + "\\one.txt").substr(0, 4000) + "..." + Md5Hex(stem + "\\one.txt").substr(0, 16);
  EXPECT_NE(dot.find("[label = \"" + ReplaceAll(label, "\\", "\\\\") + "\""), std::string::npos);
  EXPECT_EQ(NodeIdText({NodeType::kFile, 0}), escaped);
}

}  // namespace
}  // namespace evtweave::testing
