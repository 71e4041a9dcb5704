// The plugin host's library layer on real files: descriptions and their checks, the plugin
// list's order, library plugins, the environment a plugin is handed and the result readers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugins/plugin_descriptions.h"
#include "plugins/plugin_environment.h"
#include "plugins/plugin_results.h"
#include "plugins/plugin_runner.h"
#include "workbench_fixture.h"

namespace {

using namespace plugins;
namespace fs = std::filesystem;

class PluginFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivex-plugins-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = std::string(pattern) + "/";
    wbtest::WriteWholeFile(m_folder + "tool.sh", "#!/bin/sh\n");
  }
  void TearDown() override { fs::remove_all(m_folder); }
  void Write(const std::string& name, const std::string& text) {
    wbtest::WriteWholeFile(m_folder + name, text);
  }
  PluginRecord Read(const std::string& text) {
    Write("p.lvp", text);
    PluginRecord record;
    EXPECT_TRUE(ReadPluginDescription(m_folder, "p.lvp", record));
    return record;
  }
  std::string m_folder;
};

TEST_F(PluginFolderTest, EachFailedCheckAddsItsLine) {
  const std::string ok = "Name = n\nType = MainMenuItem\nArchitecture = LinuxShellScript\n";
  const struct {
    std::string text;
    std::string message;
  } kCases[] = {
      {ok + "file = tool.sh\n", ""},
      {ok, "Missing file reference!"},
      {ok + "file =\n", "Missing file reference!"},
      {ok + "file = gone.sh\n", "Referenced file \"" + m_folder + "gone.sh\" is missing!"},
      {"file = tool.sh\nType = eventhandler\nArchitecture = LinuxShellScript\n",
       "Unknown type \"eventhandler\"!"},
      {"file = tool.sh\nType = MainMenuItem\nArchitecture = Amiga\n",
       "Unknown architecture \"Amiga\"!"},
      {"file = tool.sh\nType = MainMenuItem\nArchitecture = WindowsBatchScript\n",
       "Mismatching operating system!"},
      {"file = tool.sh\nType = MainMenuItem\nArchitecture = Windows64BitDll\n",
       "Mismatching operating system!\nCould not load library!"},
      {"file = tool.sh\nType = MainMenuItem\nArchitecture = Linux64BitSo\n",
       "Could not load library!"},
      {"Type = EventHandler\nArchitecture = LinuxShellScript\nfile = tool.sh\n",
       "Missing event(s) to register for!"},
      {"Type = EventHandler\nArchitecture = LinuxShellScript\nfile = tool.sh\nEvents = "
       "BeforeRefresh,OnHover,Before Nothing\n",
       "Unknown event \"OnHover\"!\nUnknown event \"BeforeNothing\"!"},
      // Keys are read whatever their case; "\" in a file name is a folder separator.
      {"FILE = tool.sh\nname = n\nTYPE = MainMenuItem\narchitecture = LinuxShellScript\n", ""},
  };
  for (const auto& c : kCases) {
    const PluginRecord r = Read(c.text);
    EXPECT_EQ(r.DeactivationMessage, c.message) << c.text;
    EXPECT_EQ(r.IsDeactivated, c.message.empty() ? 0 : 1) << c.text;
  }
  EXPECT_EQ(Read(ok).File, m_folder + "***none***");
  EXPECT_EQ(Read(ok + "file =\n").File, m_folder);
  fs::create_directory(m_folder + "sub");
  Write("sub/inner.sh", "");
  EXPECT_EQ(Read(ok + "file = sub\\inner.sh\n").File, m_folder + "sub/inner.sh");
}

TEST_F(PluginFolderTest, EventKeysJoinAndSplitAtCommas) {
  const struct {
    std::string event, events;
    std::vector<std::string> registered;
  } kCases[] = {
      {"BeforeRefresh", "AfterRefresh", {"BeforeRefresh", "AfterRefresh"}},
      {"BeforeRefresh,", "AfterRefresh", {"BeforeRefresh"}},  // the doubled comma ends it
      {"", "BeforeRefresh,,AfterRefresh", {"BeforeRefresh"}},
      {" Before Refresh ", "", {"BeforeRefresh"}},
      {"AfterRefresh,AfterRefresh", "", {"AfterRefresh", "AfterRefresh"}},
  };
  for (const auto& c : kCases) {
    std::string problems;
    EXPECT_EQ(RegisteredEvents(c.event, c.events, problems), c.registered) << c.event;
    EXPECT_EQ(problems, "") << c.event;
  }
}

TEST_F(PluginFolderTest, TheListIsInPriorityThenNameOrder) {
  const std::string base = "file = tool.sh\nType = MainMenuItem\nArchitecture = LinuxShellScript\n";
  Write("b.lvp", base + "Name = b\nPriority = 5\n");
  Write("a.LVP", base + "Name = a\nPriority = 5\n");
  Write("c.lvp", base + "Name = c\nPriority = 300\n");  // kept as 44
  Write("d.lvp", base + "Name = d\n");                  // 9
  Write("e.lvp", base + "Name = e\nPriority = 50\n");
  Write("notes.txt", base);
  std::vector<std::string> names;
  for (const PluginRecord& r : LoadPluginList(m_folder)) names.push_back(r.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "d", "c", "e"}));
  EXPECT_TRUE(LoadPluginList(m_folder + "missing/").empty());
}

TEST_F(PluginFolderTest, LibraryPluginsAreLoadedWithOrWithoutTheirVerifyFunction) {
  fs::copy_file(TEST_PLUGIN_VERIFY_SO, m_folder + "verify.so");
  fs::copy_file(TEST_PLUGIN_CALL_SO, m_folder + "call.so");
  const std::string base = "Type = MainMenuItem\nArchitecture = Linux64BitSo\nCanBeVerified = 1\n";
  PluginRecord withVerify = Read(base + "file = verify.so\n");
  EXPECT_EQ(withVerify.DeactivationMessage, "");
  EXPECT_NE(withVerify.CallEntry, nullptr);
  EXPECT_NE(withVerify.VerifyEntry, nullptr);
  PluginRecord callOnly = Read(base + "file = call.so\n");
  EXPECT_EQ(callOnly.DeactivationMessage, "");
  EXPECT_EQ(callOnly.VerifyEntry, nullptr);
  // A shared object without the call function is no plugin.
  Write("script.sh", "");
  fs::copy_file("/lib/x86_64-linux-gnu/libm.so.6", m_folder + "libm.so",
                fs::copy_options::skip_existing);
  EXPECT_EQ(Read("Type = MainMenuItem\nArchitecture = Linux64BitSo\nfile = libm.so\n")
                .DeactivationMessage,
            "Could not find exported function 'LumiVEXPluginCall'!");

  // The call sees its variables, and none of them (nor one it set itself) outlives it.
  const std::string log = m_folder + "calls.txt";
  setenv("LUMIVEX_TEST_PLUGIN_LOG", log.c_str(), 1);
  setenv("LUMIVEX_TEST_PLUGIN_ANSWER", "7", 1);
  EXPECT_EQ(CallPluginLibrary(withVerify.VerifyEntry, {{"LUMIVEXPLUGIN_Name", "lib"}}), 7);
  EXPECT_EQ(CallPluginLibrary(withVerify.CallEntry, {{"LUMIVEXPLUGIN_Name", "lib"}}), 7);
  unsetenv("LUMIVEX_TEST_PLUGIN_LOG");
  unsetenv("LUMIVEX_TEST_PLUGIN_ANSWER");
  EXPECT_EQ(wbtest::ReadWholeFile(log), "verify lib\ncall lib\n");
  EXPECT_EQ(getenv("LUMIVEXPLUGIN_Name"), nullptr);
  EXPECT_EQ(getenv("LUMIVEXPLUGIN_LeftByTheLibrary"), nullptr);
}

TEST_F(PluginFolderTest, ProgramsGetTheirVariablesWithoutAShell) {
  Write("show.sh",
        "printf '%s|%s|%s' \"${#LUMIVEXPLUGIN_Big}\" \"${LUMIVEXPLUGIN_Big+set}\" "
        "\"$LUMIVEXPLUGIN_Odd\" > \"$LUMIVEXPLUGIN_Out\"\n");
  PluginRecord record;
  record.Architecture = "LinuxShellScript";  // not executable: handed to /bin/sh
  record.File = m_folder + "show.sh";
  const std::string odd = "\"q\" $(touch " + m_folder + "ran)\nline two";
  tolvek::Program program;
  ASSERT_TRUE(StartPluginProgram(record,
                                 {{"LUMIVEXPLUGIN_Big", std::string(200 * 1024, 'b')},
                                  {"LUMIVEXPLUGIN_Odd", odd},
                                  {"LUMIVEXPLUGIN_Out", m_folder + "out.txt"}},
                                 "", program));
  EXPECT_EQ(ProgramAnswer(program), 0);
  EXPECT_EQ(wbtest::ReadWholeFile(m_folder + "out.txt"), "0|set|" + odd);
  EXPECT_FALSE(wbtest::FileExists(m_folder + "ran"));
  record.File = m_folder + "missing";
  record.Architecture = "Linux64BitExe";
  EXPECT_FALSE(StartPluginProgram(record, {}, "", program));
}

std::string Value(const Variables& v, const std::string& name) {
  for (const auto& [key, value] : v) {
    if (key == kVariablePrefix + name) return value;
  }
  return "(unset)";
}

TEST(PluginEnvironmentTest, VariablesFollowTheTypeTheEventAndTheInputs) {
  PluginRecord menu;
  menu.Type = "MainMenuItem";
  menu.Name = "n";
  WorkbenchSnapshot s;
  s.procmonFile = "/logs/LOG.CSV";
  s.windumpFile = "/logs/cap.PCAP";
  s.graphFileDot = "/t/g.dot";
  Variables v = PluginEnvironment(menu, "", s);
  EXPECT_EQ(v.front().first, "LUMIVEXPLUGIN_Architecture");
  EXPECT_EQ(Value(v, "ProcmonFileCsv"), "/logs/LOG.CSV");
  EXPECT_EQ(Value(v, "ProcmonFilePml"), "");
  EXPECT_EQ(Value(v, "WindumpFilePcap"), "/logs/cap.PCAP");
  EXPECT_EQ(Value(v, "WindumpFileTxt"), "");
  EXPECT_EQ(Value(v, "GraphFileDetails"), "/t/g.dot.lumivex");
  EXPECT_EQ(Value(v, "Event"), "(unset)");
  EXPECT_EQ(Value(v, "VerificationRun"), "(unset)");
  EXPECT_EQ(Value(v, "CurrentNode_name"), "(unset)");

  PluginRecord handler = menu;
  handler.Type = "EventHandler";
  handler.CanBeVerified = 1;
  v = PluginEnvironment(handler, "BeforeRefresh", s);
  EXPECT_EQ(Value(v, "Event"), "BeforeRefresh");
  EXPECT_EQ(Value(v, "VerificationRun"), "0");
  EXPECT_EQ(Value(v, "CurrentNode_name"), "(unset)");
  // A graph event without a clicked node: the node's variables exist, empty.
  v = PluginEnvironment(handler, "AfterLeftClickOnGraph", s);
  EXPECT_EQ(Value(v, "CurrentNode_x"), "");
  NodeVariables node;
  node.name = "SERVER:10.0.0.1";
  node.x = 1.5;
  node.y = 2.0;
  node.width = 0.12345678912;
  node.details = {{{"IP-Address", "10.0.0.1"}, {"StartTime", "12:00:00"}}};
  s.currentNode = node;
  v = PluginEnvironment(handler, "AfterLeftClickOnGraph", s);
  EXPECT_EQ(Value(v, "CurrentNode_name"), "SERVER:10.0.0.1");
  EXPECT_EQ(Value(v, "CurrentNode_x"), "1.5");
  EXPECT_EQ(Value(v, "CurrentNode_y"), "2");
  EXPECT_EQ(Value(v, "CurrentNode_width"), "0.1234567891");
  EXPECT_EQ(Value(v, "CurrentNode_Details_IP_Address"), "10.0.0.1");
  EXPECT_EQ(Value(v, "CurrentNode_Details_StartTime"), "12:00:00");
}

TEST(PluginEnvironmentTest, AProgramGetsValuesUpTo128KiB) {
  const std::string big(200 * 1024, 'x'), fits(kMaxProgramValue, 'y');
  EXPECT_EQ(ProgramEnvironment({{"A", big}, {"B", fits}, {"C", "$(x)"}}),
            (std::vector<std::string>{"A=", "B=" + fits, "C=$(x)"}));
}

TEST(PluginResultsTest, XmlListsKeepStylesTextAndDefaults) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
      "<lumivex-plugin-output><!-- c --><list title=\"T\" submitmessage=\"pick\">"
      "<head><c width=\"40\">A</c><c width=\"\">B</c><c>C\xE2\x82\xAC</c></head>"
      "<body><r style=\"color:red\"><c style=\"b\">1</c><c>2</c></r><r><c>x\\|y</c><c>"
      "\xE6\x97\xA5\xE6\x9C\xAC</c></r></body></list></lumivex-plugin-output>";
  const std::optional<XmlListResult> list = ParseXmlResult(xml);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->title, "T");
  EXPECT_EQ(list->message, "");
  EXPECT_EQ(list->submitMessage, "pick");
  EXPECT_EQ(list->stateStoreName, "");
  EXPECT_EQ(list->columns, "A|B|C\xE2\x82\xAC");
  EXPECT_EQ(list->widths, "40|*|*");
  EXPECT_EQ(list->items, "{{color:red}}{b}1|2\nx\\|y|\xE6\x97\xA5\xE6\x9C\xAC");
  for (const char* bad : {"", "<lumivex-plugin-output><list>", "<other><list/></other>",
                          "<lumivex-plugin-output/>", "<a><b></a>"}) {
    EXPECT_FALSE(ParseXmlResult(bad)) << bad;
  }
  EXPECT_EQ(ReplaceOemLetters("Gr\u0081\u00E1e"), "Gr\u00FC\u00DFe");
}

TEST(PluginResultsTest, CsvFieldsLoseTheirQuotesAndKeepEscapedOnes) {
  const CsvResult csv = ParseCsvResult(
      " \"Name\",\"Value\" \r\n\"100\",\"*\"\r\n\"a \\\"quoted\\\" "
      "one\",\"x|y\\z\"\nplain,field\n");
  EXPECT_EQ(csv.titles, (std::vector<std::string>{"Name", "Value"}));
  EXPECT_EQ(csv.widths, (std::vector<std::string>{"100", "*"}));
  ASSERT_EQ(csv.rows.size(), 2u);
  EXPECT_EQ(csv.rows[0], (std::vector<std::string>{"a \"quoted\" one", "x|y\\z"}));
  EXPECT_EQ(csv.rows[1], (std::vector<std::string>{"plain,field"}));
}

}  // namespace
