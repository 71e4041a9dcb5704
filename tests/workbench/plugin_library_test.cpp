// The plugin host's library layer on real files: descriptions and their checks, the plugin
// list's order, library plugins, the environment a plugin is handed and the result readers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "plugins/plugin_descriptions.h"
#include "plugins/plugin_environment.h"
#include "plugins/plugin_results.h"
#include "plugins/plugin_runner.h"
#include "workbench/fifo_releaser.h"
#include "workbench_fixture.h"

namespace {

using namespace plugins;
namespace fs = std::filesystem;

class PluginFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivex-plugins-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = m_folder = std::string(pattern) + "/";
    wbtest::WriteWholeFile(m_folder + "tool.sh", "#!/bin/sh\n");
  }
  // A test may move the plugin folder below the one made here.
  void TearDown() override { fs::remove_all(m_root); }
  void Write(const std::string& name, const std::string& text) {
    wbtest::WriteWholeFile(m_folder + name, text);
  }
  PluginRecord Read(const std::string& text) {
    Write("p.lvp", text);
    PluginRecord record;
    EXPECT_TRUE(ReadPluginDescription(m_folder, "p.lvp", record));
    return record;
  }
  std::string m_root, m_folder;
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
      // Never loaded: a library is only loaded once every other check has passed.
      {"file = tool.sh\nType = MainMenuItem\nArchitecture = Windows64BitDll\n",
       "Mismatching operating system!"},
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
      {"BeforeRefresh,", "AfterRefresh", {"BeforeRefresh", "AfterRefresh"}},
      {"BeforeRefresh", " ,AfterRefresh", {"BeforeRefresh", "AfterRefresh"}},
      {"", "BeforeRefresh,,AfterRefresh", {"BeforeRefresh"}},  // the doubled comma ends it
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

TEST_F(PluginFolderTest, WhatOtherUsersCouldChangeNeverRuns) {
  // The plugin folder holds a library whose loading would show in the record; its way out to
  // "../elsewhere/" leads through a folder everybody may write.
  const std::string root = m_folder;
  m_folder = root + "plugins/";
  for (const std::string& folder : {m_folder, root + "elsewhere/"}) {
    fs::create_directory(folder);
    chmod(folder.c_str(), 0755);
  }
  fs::copy_file(TEST_PLUGIN_CALL_SO, m_folder + "call.so");
  fs::copy_file(TEST_PLUGIN_CALL_SO, root + "elsewhere/evil.so");
  const std::string keys = "Type = MainMenuItem\nArchitecture = Linux64BitSo\n";
  const struct {
    const char* what;
    std::string file;                              // the value of "file"
    std::function<void(const std::string&)> make;  // given the description's path
    std::string unsafe;                            // the path named; "" when none
  } kCases[] = {
      {"sound", "call.so", [](const std::string&) {}, ""},
      {"a description the group may write", "call.so",
       [](const std::string& lvp) { chmod(lvp.c_str(), 0664); }, m_folder + "p.lvp"},
      {"a library others may write", "call.so",
       [this](const std::string&) { chmod((m_folder + "call.so").c_str(), 0646); },
       m_folder + "call.so"},
      {"a folder on the way out others may write", "../elsewhere/evil.so",
       [root](const std::string&) { chmod((root + "elsewhere").c_str(), 0777); },
       m_folder + "../elsewhere"},
      {"a plugin folder others may write", "call.so",
       [this](const std::string&) { chmod(m_folder.c_str(), 0777); }, m_folder},
      // Whoever may write the folder above may swap the whole plugin folder.
      {"a folder above others may write", "call.so",
       [root](const std::string&) { chmod(root.c_str(), 0777); }, root.substr(0, root.size() - 1)},
      // As root, the test's folder is root's; a user's own sticky folder is no exception.
      {"a folder above with the sticky bit", "call.so",
       [root](const std::string&) { chmod(root.c_str(), 01777); },
       geteuid() == 0 ? "" : root.substr(0, root.size() - 1)},
  };
  for (const auto& c : kCases) {
    Write("p.lvp", keys + "file = " + c.file + "\n");
    chmod((m_folder + "p.lvp").c_str(), 0644);
    c.make(m_folder + "p.lvp");
    PluginRecord record;
    ASSERT_TRUE(ReadPluginDescription(m_folder, "p.lvp", record)) << c.what;
    EXPECT_EQ(record.DeactivationMessage,
              c.unsafe.empty()
                  ? ""
                  : "Unsafe permissions: \"" + c.unsafe + "\" can be changed by other users!")
        << c.what;
    EXPECT_EQ(record.LibraryHandle != nullptr, c.unsafe.empty()) << c.what;
    chmod(root.c_str(), 0700);
    chmod(m_folder.c_str(), 0755);
    chmod((root + "elsewhere").c_str(), 0755);
    chmod((m_folder + "call.so").c_str(), 0644);
  }
  if (geteuid() != 0) return;  // handing a file to another user needs root
  ASSERT_EQ(chown((m_folder + "call.so").c_str(), 65534, 65534), 0);
  EXPECT_EQ(Read(keys + "file = call.so\n").DeactivationMessage,
            "Unsafe permissions: \"" + m_folder + "call.so\" can be changed by other users!");
}

// A description is looked up once and read through what was checked: nobody can swap it
// between the check and the read.
TEST_F(PluginFolderTest, ADescriptionIsOpenedOnce) {
  Write("p.lvp",
        "file = tool.sh\nName = once\nType = MainMenuItem\nArchitecture = LinuxShellScript\n");
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, (m_folder + "p.lvp").c_str(), IN_OPEN), 0);
  PluginRecord record;
  ASSERT_TRUE(ReadPluginDescription(m_folder, "p.lvp", record));
  EXPECT_EQ(record.Name, "once");
  int opens = 0;
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;) {
    for (char* at = events; at < events + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      opens += (event->mask & IN_OPEN) != 0;
      at += sizeof(inotify_event) + event->len;
    }
  }
  close(watch);
  EXPECT_EQ(opens, 1);
}

TEST_F(PluginFolderTest, NoDescriptionHoldsUpOrFillsTheStart) {
  const std::string base = "file = tool.sh\nType = MainMenuItem\nArchitecture = LinuxShellScript\n";
  Write("a.lvp", base + "Name = a\n");
  Write("huge.lvp", base + "Name = " + std::string(1 << 20, 'n') + "\n");
  wbtest::FifoReleaser fifo(m_folder + "zz_fifo.lvp");
  const std::vector<PluginRecord> list = LoadPluginList(m_folder);
  EXPECT_FALSE(fifo.Released());
  ASSERT_EQ(list.size(), 2u);  // the FIFO is passed over
  EXPECT_EQ(list[0].Name, "a");
  EXPECT_EQ(list[1].LvpFile, m_folder + "huge.lvp");
  EXPECT_EQ(list[1].Name, "***none***");
  EXPECT_EQ(list[1].IsDeactivated, 1);
  EXPECT_EQ(list[1].DeactivationMessage, "Plugin description is larger than 1 MiB!");
}

TEST_F(PluginFolderTest, ProgramsGetTheirVariablesWithoutAShell) {
  Write("show.sh",
        "printf '%s|%s|%s' \"${#LUMIVEXPLUGIN_CurrentNode_Details_FullPath}\" "
        "\"${LUMIVEXPLUGIN_CurrentNode_Details_FullPath+set}\" "
        "\"$LUMIVEXPLUGIN_Odd\" > \"$LUMIVEXPLUGIN_Out\"\n");
  PluginRecord record;
  record.Architecture = "LinuxShellScript";  // not executable: handed to /bin/sh
  record.File = m_folder + "show.sh";
  const std::string odd = "\"q\" $(touch " + m_folder + "ran)\nline two";
  // A path from a hostile log just too long for the kernel's limit on one string, and values
  // that together pass its limit on the whole: the plugin starts all the same.
  Variables variables = {{"LUMIVEXPLUGIN_CurrentNode_Details_FullPath", std::string(131050, 'p')},
                         {"LUMIVEXPLUGIN_Odd", odd},
                         {"LUMIVEXPLUGIN_Out", m_folder + "out.txt"}};
  for (int i = 0; i < 60; ++i) {
    variables.emplace_back("LUMIVEXPLUGIN_Bulk" + std::to_string(i), std::string(120000, 'b'));
  }
  tolvek::Program program;
  std::string unsafe;
  ASSERT_TRUE(StartPluginProgram(record, m_folder, variables, "", program, unsafe));
  EXPECT_EQ(ProgramAnswer(program), 0);
  EXPECT_EQ(wbtest::ReadWholeFile(m_folder + "out.txt"), "0|set|" + odd);
  EXPECT_FALSE(wbtest::FileExists(m_folder + "ran"));
  record.File = m_folder + "missing";
  record.Architecture = "Linux64BitExe";
  EXPECT_FALSE(StartPluginProgram(record, m_folder, {}, "", program, unsafe));
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

TEST(PluginEnvironmentTest, AProgramsEnvironmentStaysWithinTheKernelsLimits) {
  // One string: "A=" and the terminator take three bytes of the kernel's 128 KiB.
  const std::string fits(kMaxProgramString - 3, 'y'), over(kMaxProgramString - 2, 'x');
  EXPECT_EQ(ProgramEnvironment({{"A", over}, {"A", fits}, {"C", "$(x)"}, {"D=E", "f"}}),
            (std::vector<std::string>{"A=", "A=" + fits, "C=$(x)"}));
  // The whole: the longest values go first until the rest fit.
  const Variables v = {{"S", "short"}, {"L", std::string(1000, 'l')}, {"M", std::string(500, 'm')}};
  const size_t all = 8 + 1003 + 503 + 3 * sizeof(char*);
  EXPECT_EQ(ProgramEnvironment(v, all).size(), 3u);
  EXPECT_EQ(ProgramEnvironment(v, all - 1),
            (std::vector<std::string>{"S=short", "L=", "M=" + std::string(500, 'm')}));
  EXPECT_EQ(ProgramEnvironment(v, 0), (std::vector<std::string>{"S=", "L=", "M="}));
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
}

TEST(PluginResultsTest, XmlCellsKeepTheirColumnsAndShowAsTheyAre) {
  const struct {
    const char* body;
    const char* items;
  } kCases[] = {
      {"<r><c></c><c>2</c></r><r><c>3</c><c>4</c></r>", "|2\n3|4"},
      {"<r style=\"s\"><c></c><c>2</c></r>", "{{s}}|2"},
      {"<r><c/></r><r><c>after</c></r>", "\nafter"},
      {"<r></r><r><c>after</c></r>", "\nafter"},
      // A line break or a brace in a cell opens no row and no style; the plugin's own
      // escapes still make its bars and backslashes.
      {"<r><c>write&#10;{{red}}{blue}FORGED ROW|x</c></r>", "write_0x0A_{{red}}{blue}FORGED ROW|x"},
      {"<r><c>{blue}a</c><c style=\"b\">{c}</c><c>x\\|y\\\\z</c></r>",
       "{}{blue}a|{b}{c}|x\\|y\\\\z"},
      {"<r><c>a|{b}</c></r>", "a|{}{b}"},
  };
  for (const auto& c : kCases) {
    const std::optional<XmlListResult> list =
        ParseXmlResult(std::string("<lumivex-plugin-output><list><body>") + c.body +
                       "</body></list></lumivex-plugin-output>");
    ASSERT_TRUE(list) << c.body;
    EXPECT_EQ(list->items, c.items) << c.body;
  }
  // Nesting far deeper than a list needs is no result, well-formed as it may be.
  std::string deep = "<lumivex-plugin-output><list><body><r><c>x</c></r></body></list>";
  for (int i = 0; i < 100000; ++i) deep += "<d>";
  for (int i = 0; i < 100000; ++i) deep += "</d>";
  EXPECT_FALSE(ParseXmlResult(deep + "</lumivex-plugin-output>"));
}

TEST(PluginResultsTest, ResultTextsAreReadAsWritten) {
  const struct {
    std::string bytes;
    bool oem;
    std::string text;
  } kCases[] = {
      // The DOS code page's letters of an ANSI text, and the ANSI page's own.
      {"\x81\x84\x8E\x94\x99\x9A\xE1", true, "\u00FC\u00E4\u00C4\u00F6\u00D6\u00DC\u00DF"},
      {"\x84 \xE4", false, "\u201E \u00E4"},
      {"Gr\xFC\xDF"
       "e",
       true, "Gr\u00FC\u00DFe"},
      // UTF-8 without a mark is UTF-8, and its letters are not taken for DOS ones.
      {"Gr\xC3\xBC\xC3\x9F"
       "e \xC3\xA1",
       true,
       "Gr\u00FC\u00DF"
       "e \u00E1"},
      {"\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
       "e",
       false,
       "Gr\u00FC\u00DF"
       "e"},
      {std::string("\xFF\xFEG\0\xFC\0", 6), false, "G\u00FC"},
  };
  for (const auto& c : kCases) EXPECT_EQ(DecodeResultText(c.bytes, c.oem), c.text) << c.bytes;
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
