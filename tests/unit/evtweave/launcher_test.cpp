#include "converter_fixture.h"
#include "tolvek/text_utils.h"

namespace evtweave::testing {
namespace {

using LauncherTest = ConverterTest;

TEST(StartTimes, AreComparedAsTimesAndAsTextOnlyWhenNoTime) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"9:00:00.5 AM", "10:00:00.1 AM", -1},  // text order would say the opposite
      {"12:30:00 AM", "1:00:00 AM", -1},      // midnight hour
      {"12:00:00 PM", "11:59:59.9999999 AM", 1},
      {"1:00:00.1000000 PM", "13:00:00.1", 0},
      {"7:37:18.2093997 AM", "7:37:18.2093998 AM", -1},
      {"", "1:00:00 AM", -1},
      {"soon", "later", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareStartTimes(c.a, c.b), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(CompareStartTimes(c.b, c.a), -c.order) << c.b << " vs " << c.a;
  }
  EXPECT_FALSE(ParseTimeOfDay("25:00:00").has_value());
  EXPECT_FALSE(ParseTimeOfDay("13:00:00 PM").has_value());
}

std::string LauncherRows(const std::string& sample, const std::string& chosenPid) {
  return Row({"", "", "", "", "KALVO_EXECUTES_SAMPLE_" + sample, "SUCCESS", "", ""}) +
         Row({"", "kalvo-cpp.exe", "*1*", "Process Create", "", "SUCCESS",
              "PID: *2*, Command line: ++++++++", ""}) +
         Row({"", "kalvo-cpp.exe", "*2*", "Process Create", "", "SUCCESS",
              "PID: " + chosenPid + ", Command line: x.exe", ""});
}

TEST_F(LauncherTest, WorkbenchRowsMakeTheChosenProcessTheOnlyRoot) {
  std::string log =
      kHeader + Row({"9:00:00 AM", "e.exe", "50", "RegQueryValue", "", "SUCCESS", "", "51"}) +
      LauncherRows("kalvo.bat", "70") +
      Row({"9:00:01 AM", "x.exe", "70", "Process Start", "", "SUCCESS", "", "71"}) +
      Row({"9:00:01 AM", "x.exe", "70", "Thread Create", "", "SUCCESS", "Thread ID: 71", "71"});
  std::string dot = Convert(log);
  EXPECT_NE(CapturedOutput().find("    Launcher found: PID 70-n2\n"), std::string::npos);
  const ProcessInfo* root = Process("70-n2");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->m_follow, 2);
  EXPECT_EQ(State().launcher.MarkerLine, 3);  // the line of the chosen row
  EXPECT_EQ(Rows()[4].OriginalLineNumber, 3);
}

// The workbench adds its rows to a log that already holds them: each set starts the chosen
// id anew, and the sample's rows belong to the process of the last set. That process is the
// root, and the graph is the one a single set gives.
TEST_F(LauncherTest, LauncherRowsTwiceFollowTheProcessOfTheLastSet) {
  const std::string before =
      kHeader + Row({"9:00:00 AM", "e.exe", "50", "RegQueryValue", "", "SUCCESS", "", "51"});
  const std::string sample =
      Row({"9:00:01 AM", "x.exe", "70", "Process Start", "", "SUCCESS", "", "71"}) +
      Row({"9:00:01 AM", "x.exe", "70", "Thread Create", "", "SUCCESS", "Thread ID: 71", "71"}) +
      Row({"9:00:02 AM", "x.exe", "70", "CreateFile", "C:\\drop.exe", "SUCCESS",
           "Options: Non-Directory File, OpenResult: Created", "71"});
  const std::string once = Convert(before + LauncherRows("kalvo.bat", "70") + sample);
  ASSERT_NE(once.find("create file"), std::string::npos) << once;
  EXPECT_EQ(CapturedOutput().find("the last ones count"), std::string::npos);

  CapturedOutput().clear();
  const std::string twice =
      Convert(before + LauncherRows("kalvo.bat", "70") + LauncherRows("kalvo.bat", "70") + sample);
  const std::string& said = CapturedOutput();
  EXPECT_NE(said.find("    Launcher rows found 2 times: the last ones count.\n"), std::string::npos)
      << said;
  // The root is the process that holds the sample's rows, and it is the only one.
  const std::string holder = State().entities.Processes[Rows()[Rows().size() - 3].PID].Key;
  EXPECT_NE(said.find("    Launcher found: PID " + holder + "\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("Launcher found: PID "), said.rfind("Launcher found: PID ")) << said;
  EXPECT_EQ(Process(holder)->m_follow, 2);
  EXPECT_EQ(State().launcher.MarkerLine, 3);
  // The same statements, the keys aside (two more processes were created on the way).
  auto shape = [](std::string dot) {
    for (const char* key : {"70-n2", "70-n4", "*2*-n1", "*2*-n3"}) {
      dot = tolvek::ReplaceAll(dot, key, "KEY");
    }
    return dot;
  };
  EXPECT_EQ(shape(twice), shape(once));
}

TEST_F(LauncherTest, BatchChildrenStartedTogetherAreBothRootsAndDumbSearchesNothing) {
  std::string log = kHeader +
                    Row({"", "", "", "", "KALVO_EXECUTES_SAMPLE_kalvo.bat", "SUCCESS", "", ""}) +
                    Row({"t", "kalvo-cpp.exe", "80", "Process Create", "", "SUCCESS",
                         "PID: 90, Command line: kalvo.bat", "1"}) +
                    Row({"t", "kalvo-cpp.exe", "90", "Process Create", "", "SUCCESS",
                         "PID: 91, Command line: a", "1"}) +
                    Row({"t", "kalvo-cpp.exe", "90", "Process Create", "", "SUCCESS",
                         "PID: 92, Command line: b", "1"}) +
                    Row({"t", "kalvo-cpp.exe", "90", "Process Create", "", "SUCCESS",
                         "PID: 93, Command line: c", "1"}) +
                    Row({"9:00:00.5 AM", "a", "91", "Process Start", "", "SUCCESS", "", "2"}) +
                    Row({"10:00:00.1 AM", "b", "92", "Process Start", "", "SUCCESS", "", "3"}) +
                    Row({"10:00:00.1 AM", "c", "93", "Process Start", "", "SUCCESS", "", "4"});
  Convert(log);
  // The later start wins as a time, although "9..." sorts after "10..." as text.
  EXPECT_EQ(CapturedOutput().find("PID 91-"), std::string::npos);
  EXPECT_NE(CapturedOutput().find("    Launcher found: PID 92-n"), std::string::npos);
  EXPECT_NE(CapturedOutput().find("    Launcher found: PID 93-n"), std::string::npos);
  Convert(log, "lumivex,dumb");
  EXPECT_NE(CapturedOutput().find("    Dumb mode!\n"), std::string::npos);
  for (const ProcessInfo& p : State().entities.Processes) EXPECT_FALSE(p.IsSampleRoot);
}

// The sample's name runs to the next "KALVO_EXECUTES_SAMPLE_", not to the next bare marker.
TEST_F(LauncherTest, SampleNameEndsAtTheNextMarkerWithItsUnderscore) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"KALVO_EXECUTES_SAMPLE_kalvo.bat", "kalvo.bat"},
      {"KALVO_EXECUTES_SAMPLE_a.exeKALVO_EXECUTES_SAMPLE_b", "a.exe"},
      {"KALVO_EXECUTES_SAMPLE_a.exeKALVO_EXECUTES_SAMPLE", "a.exeKALVO_EXECUTES_SAMPLE"},
      {"KALVO_EXECUTES_SAMPLE", ""},
  };
  for (const Case& c : cases) {
    Convert(kHeader + Row({"", "", "", "", c.path, "SUCCESS", "", ""}));
    EXPECT_EQ(State().launcher.SampleName, c.name) << c.path;
  }
}

}  // namespace
}  // namespace evtweave::testing
