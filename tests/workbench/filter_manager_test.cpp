// The filter managers and the add-filter dialog driven as the analyst drives them: rules
// added, edited, enabled, disabled and deleted in both stores, and what the next Refresh
// hands the converter and leaves out of the graph.
#include <sys/stat.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>
#include <set>
#include <string>
#include <vector>

#include "pick_list_driver.h"
#include "platform/window_system.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

const std::string kManager = "Filter Manager";
const std::string kWuau = "c:\\users\\bob\\appdata\\roaming\\winupdate\\wuauhelper.exe";
const std::string kServer = "203.0.113.50";

class FilterManagerTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
    platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
    platform::SetGadgetText(String_Main_WindumpFile,
                            LUMIVEX_SOURCE_DIR "/resources/sample_capture.txt");
  }
  static void Serve() {
    do {
      MainLoopTurn();
    } while (platform::QueuedEventCount() > 0);
  }
  static void Menu(int item) {
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, item);
    Serve();
  }
  // Opens a manager and answers its list (and a follow-up list) with the steps.
  static void Manage(int item, std::vector<guitest::Script::Step> steps) {
    steps.insert(steps.begin(), [] { return PickListOpen(kManager); });
    guitest::Script script(std::move(steps), kManager);
    Menu(item);
    EXPECT_TRUE(script.Finished());
  }
  // Opens a manager, answers "Add new rule ..." and types the rule into the dialog.
  static void AddTyped(int item, int option, const std::string& text) {
    Manage(item, {guitest::Do([] { DoubleClickRow(kManager, 0); })});
    ASSERT_TRUE(platform::IsWindow(Window_AddFilter));
    platform::SetGadgetState(option, 1);
    platform::SetGadgetText(String_AddFilter_Filter, text);
    Click(Button_AddFilter_Ok);
  }
  static void Click(int gadget) {
    platform::PostEvent(platform::kEventGadget, Window_AddFilter, gadget);
    Serve();
  }
  // Rows of the list a manager shows.
  static std::vector<std::string> Listed(int item) {
    std::vector<std::string> rows;
    Manage(item, {guitest::Do([&] {
             rows = PickListRows(kManager);
             ClosePickList(kManager);
           })});
    return rows;
  }
  std::string Global(const std::string& word) const {
    return ReadWholeFile(SettingsFolder() + "evtweave_" + word + "ignores.global");
  }
  std::string Dat(const std::string& word) const {
    return ReadWholeFile(SettingsFolder() + "evtweave_" + word + "ignoresdat");
  }
  // The list the last Refresh wrote for its converter.
  static std::string RunList(const std::string& word) {
    return tolvek::GetOwnTempFolder("evtweave") + "evtweave_" + word + "ignores.dat";
  }
  // The rules the converter applies from a list: its lines that are neither empty nor
  // disabled.
  std::multiset<std::string> Applied(const std::string& word) const {
    std::string text = ReadWholeFile(RunList(word));
    std::multiset<std::string> rules;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      std::string line = text.substr(start, end == std::string::npos ? end : end - start);
      if (!line.empty() && line[0] != '#') rules.insert(line);
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return rules;
  }
  static void Refresh() {
    platform::ScriptMessageAnswer(platform::kResultOk);
    GenerateGraph();
    ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  }
  static bool HasNode(const std::string& name) {
    for (const auto& node : State().graph.layout.nodes) {
      if (node.name == name) return true;
    }
    return false;
  }
  static void PointAt(const std::string& name) {
    for (const auto& node : State().graph.layout.nodes) {
      if (node.name != name) continue;
      State().interaction.contextNodeName = std::string(node.name);
      State().interaction.contextNodeLabel = std::string(node.label);
      return;
    }
    ADD_FAILURE() << "no node " << name;
  }
};

TEST_F(FilterManagerTest, RulesFromEveryRoadReachTheNextRefreshExactlyAsEnabled) {
  Refresh();
  const std::string wuauNode =
      "FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\wuauhelper.exe";
  const std::string keyNode =
      "REGISTRYKEY:hkcu\\\\software\\\\microsoft\\\\windows\\\\currentversion\\\\run\\\\"
      "winupdatehelper";
  ASSERT_TRUE(HasNode(wuauNode));
  ASSERT_TRUE(HasNode("SERVER:" + kServer));
  ASSERT_TRUE(HasNode(keyNode));

  // From the graph's context menu: the file into the session store, as prefilled.
  PointAt(wuauNode);
  Menu(MenuItem_AddFilterFirst);
  ASSERT_TRUE(platform::IsWindow(Window_AddFilter));
  EXPECT_FALSE(platform::IsWindowEnabled(Window_Main));
  EXPECT_EQ(platform::GetWindowTitle(Window_AddFilter), "Add filter ...");
  EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), kWuau);
  EXPECT_EQ(platform::GetGadgetState(Option_AddFilter_FullStringMatch), 1);
  EXPECT_EQ(platform::GetGadgetState(Checkbox_AddFilter_SaveAsGlobal), 0);
  Click(Button_AddFilter_Ok);
  EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));

  // The server's address into the global store, the analyst ticking the box.
  PointAt("SERVER:" + kServer);
  Menu(MenuItem_AddFilterFirst + 2);
  EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), kServer);
  platform::SetGadgetState(Checkbox_AddFilter_SaveAsGlobal, 1);
  Click(Button_AddFilter_Ok);

  // Typed into the global registry manager: a sub-string rule for writes only.
  Manage(MenuItem_GlobalRegistry, {guitest::Do([] { DoubleClickRow(kManager, 0); })});
  EXPECT_EQ(platform::GetGadgetState(Checkbox_AddFilter_SaveAsGlobal), 1);
  platform::SetGadgetState(Option_AddFilter_SubStringMatch, 1);
  platform::SetGadgetState(Checkbox_AddFilter_IsRelevant4Read, 0);
  platform::SetGadgetText(String_AddFilter_Filter, "WinUpdateHelper");
  Click(Button_AddFilter_Ok);

  EXPECT_NE(ReadWholeFile(State().sessionFile)
                .find("[evtweave_fileignores.session]\n" + kWuau + " = rw\n"),
            std::string::npos);
  EXPECT_EQ(Global("server"), kServer + "\trw\r\n");
  EXPECT_EQ(Global("registrykey"), "*WinUpdateHelper*\tw\r\n");
  Refresh();
  EXPECT_EQ(Applied("file"), std::multiset<std::string>{kWuau + "\trw"});
  EXPECT_EQ(Applied("server"), std::multiset<std::string>{kServer + "\trw"});
  EXPECT_EQ(Applied("registrykey"), std::multiset<std::string>{"*WinUpdateHelper*\tw"});
  EXPECT_FALSE(HasNode(wuauNode));
  EXPECT_FALSE(HasNode("SERVER:" + kServer));
  EXPECT_FALSE(HasNode(keyNode));
  EXPECT_TRUE(HasNode("PROCESS:3120-n3"));

  // Disabled: the rule stays in its store, marked, and the node comes back.
  Manage(MenuItem_GlobalServers,
         {guitest::Do([] { DoubleClickRow(kManager, 1); }),
          [] { return PickListRows(kManager).size() == 1; }, guitest::Do([] {
            EXPECT_EQ(PickListRows(kManager)[0], "[x]Full String Match|" + kServer + "|rw");
            CheckAndConfirm(kManager, {});
          })});
  EXPECT_EQ(Global("server"), "#" + kServer + "\trw\r\n");
  EXPECT_EQ(Listed(MenuItem_GlobalServers).back(), "disabled|Full String Match|" + kServer + "|rw");

  // Edited: the session rule becomes a trailing match and stays in the session store.
  Manage(MenuItem_SessionFiles, {guitest::Do([] { DoubleClickRow(kManager, 4); })});
  ASSERT_TRUE(platform::IsWindow(Window_AddFilter));
  EXPECT_EQ(platform::GetWindowTitle(Window_AddFilter), "Edit filter ...");
  EXPECT_TRUE(platform::IsGadgetHidden(Checkbox_AddFilter_SaveAsGlobal));
  EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), kWuau);
  platform::SetGadgetState(Option_AddFilter_TrailingStringMatch, 1);
  platform::SetGadgetText(String_AddFilter_Filter, "\\wuauhelper.exe");
  Click(Button_AddFilter_Ok);
  EXPECT_EQ(Listed(MenuItem_SessionFiles).back(),
            "enabled|Trailing String Match|\\wuauhelper.exe|rw");
  EXPECT_EQ(ReadWholeFile(State().sessionFile).find(kWuau), std::string::npos);

  Refresh();
  EXPECT_EQ(Applied("file"), std::multiset<std::string>{"*\\wuauhelper.exe\trw"});
  EXPECT_TRUE(Applied("server").empty());
  EXPECT_NE(ReadWholeFile(RunList("server")).find("#" + kServer), std::string::npos);
  EXPECT_TRUE(HasNode("SERVER:" + kServer));
  EXPECT_FALSE(HasNode(wuauNode));

  // Deleted from both stores: nothing is applied, every node is back.
  for (int item : {MenuItem_SessionFiles, MenuItem_GlobalRegistry}) {
    Manage(item, {guitest::Do([] { DoubleClickRow(kManager, 2); }),
                  [] { return PickListRows(kManager).size() == 1; },
                  guitest::Do([] { CheckAndConfirm(kManager, {0}); })});
    EXPECT_EQ(Listed(item).size(), 4u);
  }
  EXPECT_EQ(Global("registrykey"), "");
  Refresh();
  EXPECT_TRUE(Applied("file").empty());
  EXPECT_TRUE(Applied("registrykey").empty());
  EXPECT_TRUE(HasNode(wuauNode));
  EXPECT_TRUE(HasNode(keyNode));
}

TEST_F(FilterManagerTest, TheListShowsEveryLineAndCancelChangesNothing) {
  const std::string file = "x.exe\trw\r\n#*.tmp\tr\r\n**a|b\\c*\tw\r\nREGEX:^q$\r\n\r\n";
  WriteWholeFile(SettingsFolder() + "evtweave_fileignores.global", file);
  std::vector<std::string> rows;
  std::string message, hint;
  Manage(MenuItem_GlobalFiles, {guitest::Do([&] {
           rows = PickListRows(kManager);
           int window = platform::FindWindowByTitle(kManager);
           message = platform::GetGadgetText(platform::FindGadgetByName(window, "msg"));
           ClosePickList(kManager);
         })});
  EXPECT_EQ(message, "Manage global filters for files ...");
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "action|Add new rule ...||", "action|Enable/disable rules ...||",
                      "action|Delete rules ...||", "|||", "enabled|Full String Match|x.exe|rw",
                      "disabled|Trailing String Match|.tmp|r", "enabled|Sub String Match|a|b\\c|w",
                      "enabled|Regular Expression|^q$|",
                      "enabled|Full String Match||",  // the empty last line
                  }));
  // Nothing was written by a cancelled list, nor by a cancelled follow-up.
  for (int row : {1, 2}) {
    Manage(MenuItem_GlobalFiles, {guitest::Do([=] { DoubleClickRow(kManager, row); }),
                                  [] { return PickListRows(kManager).size() == 5; },
                                  guitest::Do([] { ClosePickList(kManager); })});
  }
  EXPECT_EQ(ReadWholeFile(SettingsFolder() + "evtweave_fileignores.global"), file);

  // A rule text with a bar and a backslash is edited back unchanged, its stars made
  // canonical; the session store lists "=" for "{equ}".
  Manage(MenuItem_GlobalFiles, {guitest::Do([] { DoubleClickRow(kManager, 6); })});
  EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), "a|b\\c");
  EXPECT_EQ(platform::GetGadgetState(Checkbox_AddFilter_IsRelevant4Read), 0);
  Click(Button_AddFilter_Ok);
  EXPECT_EQ(ReadWholeFile(SettingsFolder() + "evtweave_fileignores.global"),
            "x.exe\trw\n#*.tmp\tr\n*a|b\\c*\tw\nREGEX:^q$\r\n");
  WriteWholeFile(State().sessionFile, "[evtweave_fileignores.session]\n>a{equ}b = r\n");
  EXPECT_EQ(Listed(MenuItem_SessionFiles).back(), "disabled|Full String Match|a=b|r");
}

// A received session's rules are listed as they stand, whatever markup they hold, and the
// enable/disable list confirmed unchanged leaves every rule as it was.
TEST_F(FilterManagerTest, RulesThatLookLikeMarkupAreListedLiterally) {
  WriteWholeFile(State().sessionFile,
                 "[evtweave_fileignores.session]\n"
                 "REGEX:{color:white}|(?i).*wuauhelper.* = rw\n"
                 "{{color:white}}ghost.exe = r\n"
                 "*a|b\\c{d* = {w}\n");
  const std::vector<std::string> listed = {
      "enabled|Regular Expression|{color:white}|(?i).*wuauhelper.*|rw",
      "enabled|Full String Match|{{color:white}}ghost.exe|r",
      "enabled|Sub String Match|a|b\\c{d|{w}",
  };
  std::vector<std::string> rows = Listed(MenuItem_SessionFiles);
  ASSERT_EQ(rows.size(), 4 + listed.size());
  EXPECT_EQ(std::vector<std::string>(rows.begin() + 4, rows.end()), listed);

  std::vector<std::string> checks;
  Manage(MenuItem_SessionFiles,
         {guitest::Do([] { DoubleClickRow(kManager, 1); }),
          [] { return PickListRows(kManager).size() == 3; }, guitest::Do([&] {
            checks = PickListRows(kManager);
            QTest::mouseClick(platform::GadgetWidget(PickListGadget(kManager, "but")),
                              Qt::LeftButton);
          })});
  for (const std::string& row : checks) EXPECT_EQ(row.substr(0, 3), "[x]") << row;
  rows = Listed(MenuItem_SessionFiles);
  EXPECT_EQ(std::vector<std::string>(rows.begin() + 4, rows.end()), listed);
}

TEST_F(FilterManagerTest, PatternsThatWouldNotReadBackAreRefusedAndTheDialogStays) {
  const struct {
    bool global;
    const char* text;
  } kCases[] = {{true, "a\tb"}, {false, "REGEX:[a-z]+"}, {false, " lead"}, {false, "a;b"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(platform::kResultOk);
    Manage(c.global ? MenuItem_GlobalFiles : MenuItem_SessionFiles,
           {guitest::Do([] { DoubleClickRow(kManager, 0); })});
    platform::SetGadgetText(String_AddFilter_Filter, c.text);
    Click(Button_AddFilter_Ok);
    ASSERT_EQ(platform::ShownMessages().size(), 1u);
    EXPECT_TRUE(platform::IsWindow(Window_AddFilter));
    // An empty text does nothing at all.
    platform::SetGadgetText(String_AddFilter_Filter, "");
    Click(Button_AddFilter_Ok);
    EXPECT_TRUE(platform::IsWindow(Window_AddFilter));
    EXPECT_EQ(platform::ShownMessages().size(), 1u);
    Click(Button_AddFilter_Cancel);
    EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  }
  EXPECT_FALSE(FileExists(SettingsFolder() + "evtweave_fileignores.global"));
  EXPECT_EQ(ReadWholeFile(State().sessionFile), "");
}

TEST_F(FilterManagerTest, AServerLabelOffersItsDomainAndItsAddress) {
  State().interaction.contextNodeName = "SERVER:203.0.113.50";
  State().interaction.contextNodeLabel = "[3]\\nUpdate-Check.Example.NET\\n203.0.113.50";
  const struct {
    int item;
    const char* text;
  } kCases[] = {{MenuItem_AddFilterFirst + 1, "update-check.example.net"},
                {MenuItem_AddFilterFirst + 2, "203.0.113.50"}};
  for (const auto& c : kCases) {
    Menu(c.item);
    EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), c.text);
    Click(Button_AddFilter_Ok);
  }
  // Both went to the session store, the second replacing nothing of the first.
  EXPECT_EQ(ReadWholeFile(State().sessionFile),
            "[evtweave_serverignores.session]\nupdate-check.example.net = rw\n"
            "203.0.113.50 = rw\n");
}

// A session file that a rule made first gets the session's keys in front of its group when
// the session is saved, and both read back.
TEST_F(FilterManagerTest, ASessionThatARuleCreatedKeepsItsKeysBeforeTheGroup) {
  const std::string path = m_root + "/case.lv";
  State().sessionFile = path;
  AddTyped(MenuItem_SessionServers, Option_AddFilter_HeadingStringMatch, "10.0.");
  EXPECT_EQ(ReadWholeFile(path), "[evtweave_serverignores.session]\n10.0.* = rw\n");
  ASSERT_TRUE(SaveSession(path));
  std::string text = ReadWholeFile(path);
  EXPECT_EQ(text.find("procmonfile = "), 0u);
  EXPECT_GT(text.find("[evtweave_serverignores.session]\n10.0.* = rw\n"),
            text.find("renderoption_files_loads"));
  platform::SetGadgetText(String_Main_ProcmonFile, "");
  LoadSession(path, false);
  EXPECT_EQ(platform::GetGadgetText(String_Main_ProcmonFile), LUMIVEX_SAMPLE_LOG);
  EXPECT_EQ(Listed(MenuItem_SessionServers).back(), "enabled|Heading String Match|10.0.|rw");
}

// Damaged and huge stores are listed, rewritten and handed to the converter without loss.
TEST_F(FilterManagerTest, AHugePatternAndADamagedFileAreCarriedThrough) {
  const std::string huge = std::string(100000, 'q') + "*";
  // Control characters, a zero byte, broken UTF-8 and every kind of line end.
  const char kDamage[] = "\x01\x02\xFF\xFE garbage\0with nul\t\t\t\r\n\n\r\r#\n\xC3\x28 bad\trw\n";
  const std::string damaged = std::string(kDamage, sizeof kDamage - 1) + kWuau + "\trw";
  WriteWholeFile(SettingsFolder() + "evtweave_serverignores.global", huge + "\trw\r\n");
  WriteWholeFile(SettingsFolder() + "evtweave_fileignores.global", damaged);
  std::vector<std::string> rows = Listed(MenuItem_GlobalServers);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[4], "enabled|Heading String Match|" + huge.substr(0, 100000) + "|rw");
  rows = Listed(MenuItem_GlobalFiles);
  ASSERT_GE(rows.size(), 8u);
  EXPECT_EQ(rows.back(), "enabled|Full String Match|" + kWuau + "|rw");

  // Enabling every listed rule keeps the huge one whole.
  Manage(MenuItem_GlobalServers, {guitest::Do([] { DoubleClickRow(kManager, 1); }),
                                  [] { return PickListRows(kManager).size() == 1; },
                                  guitest::Do([] { CheckAndConfirm(kManager, {0}); })});
  EXPECT_EQ(Global("server"), huge + "\trw\r\n");

  Refresh();
  EXPECT_TRUE(Applied("server").count(huge + "\trw"));
  EXPECT_TRUE(Applied("file").count(kWuau + "\trw"));
  EXPECT_FALSE(
      HasNode("FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\wuauhelper.exe"));
  EXPECT_TRUE(HasNode("SERVER:" + kServer));
}

}  // namespace

namespace {

using namespace wbtest;
using namespace workbench;

class AddFilterKeysTest : public FilterManagerTest {
 protected:
  // The analyst presses Return where the focus is, in the dialog the window system made
  // active.
  static void PressReturn() {
    QWidget* dialog = platform::WindowWidget(Window_AddFilter);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    ASSERT_EQ(focus->window(), dialog);
    QTest::keyClick(focus, Qt::Key_Return);
    Serve();
  }
};

// Ok is the dialog's default however it was opened: Return stores the rule from the button
// the context menu focuses and from the text field; on Cancel it cancels.
TEST_F(AddFilterKeysTest, ReturnPressesOkWhereverTheDialogWasOpenedFrom) {
  const std::string globalFile = SettingsFolder() + "evtweave_fileignores.global";
  WriteWholeFile(globalFile, "");
  State().interaction.contextNodeName = "FILE:c:\\\\Tools\\\\One.exe";
  Menu(MenuItem_AddFilterFirst);
  ASSERT_TRUE(platform::IsWindow(Window_AddFilter));
  EXPECT_EQ(platform::GetActiveGadget(), Button_AddFilter_Ok);
  PressReturn();
  EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  EXPECT_EQ(ReadWholeFile(State().sessionFile),
            "[evtweave_fileignores.session]\nc:\\tools\\one.exe = rw\n");

  // In the manager: the rule at row typed into the field, Return pressed where focus is.
  auto enterRule = [](int row, const char* rule, int focus) {
    Manage(MenuItem_GlobalFiles, {guitest::Do([row] { DoubleClickRow(kManager, row); })});
    platform::SetGadgetText(String_AddFilter_Filter, rule);
    platform::SetActiveGadget(focus);
    PressReturn();
  };

  // Added in the manager, typed into the field.
  enterRule(0, "two.exe", String_AddFilter_Filter);
  EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
  EXPECT_EQ(ReadWholeFile(globalFile), "two.exe\trw\r\n");

  // Edited in the manager; then Return on Cancel leaves the rule as it is.
  enterRule(4, "three.exe", String_AddFilter_Filter);
  EXPECT_EQ(ReadWholeFile(globalFile), "three.exe\trw\r\n");
  enterRule(4, "four.exe", Button_AddFilter_Cancel);
  EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
  EXPECT_EQ(ReadWholeFile(globalFile), "three.exe\trw\r\n");
}

// The converter reads a final "*" as "begins with" before it looks for an expression: such a
// rule would filter nothing, so the dialog says so and how to write it, and stays open.
TEST_F(FilterManagerTest, AnExpressionEndingInAStarIsExplainedAndTheDialogStays) {
  Manage(MenuItem_GlobalFiles, {guitest::Do([] { DoubleClickRow(kManager, 0); })});
  const std::string globalFile = SettingsFolder() + "evtweave_fileignores.global";
  const std::string before = ReadWholeFile(globalFile);
  platform::SetGadgetState(Option_AddFilter_RegexMatch, 1);
  for (bool global : {true, false}) {
    platform::SetGadgetState(Checkbox_AddFilter_SaveAsGlobal, global);
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(platform::kResultOk);
    platform::SetGadgetText(String_AddFilter_Filter, "\\.tmp.*");
    Click(Button_AddFilter_Ok);
    ASSERT_EQ(platform::ShownMessages().size(), 1u);
    EXPECT_EQ(platform::ShownMessages()[0].text,
              "This regular expression would not be used as one: a filter that ends with \"*\" "
              "is read as \"begins with\", so it would filter only names that begin with "
              "\"REGEX:\\.tmp.\".\nPut the expression in parentheses, which matches the same "
              "names: (\\.tmp.*)");
    EXPECT_TRUE(platform::IsWindow(Window_AddFilter));
    EXPECT_EQ(ReadWholeFile(globalFile), before);
    EXPECT_EQ(ReadWholeFile(State().sessionFile), "");
  }
  // Written as the message says, it filters what it matches.
  Refresh();
  ASSERT_TRUE(
      HasNode("FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\wuauhelper.exe"));
  platform::SetGadgetText(String_AddFilter_Filter, "(wuauhelper.*)");
  Click(Button_AddFilter_Ok);
  EXPECT_FALSE(platform::IsWindow(Window_AddFilter));
  Refresh();
  EXPECT_FALSE(
      HasNode("FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\wuauhelper.exe"));
}

// Every title shows whole, in the font of this desktop, and the rule column takes the rest
// without a sideways scroll bar.
TEST_F(FilterManagerTest, EveryColumnTitleShowsWhole) {
  WriteWholeFile(SettingsFolder() + "evtweave_fileignores.global", "x.exe\trw\r\n");
  for (int row : {-1, 1}) {
    SCOPED_TRACE(row);
    std::vector<std::string> titles;
    auto measure = [&] {
      auto* tree = static_cast<QTreeWidget*>(platform::GadgetWidget(PickListGadget(kManager)));
      QHeaderView* header = tree->header();
      int shown = 0;
      for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c)) continue;
        titles.push_back(tree->headerItem()->text(c).toStdString());
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << titles.back();
        shown += header->sectionSize(c);
      }
      EXPECT_LE(shown, tree->viewport()->width());
      ClosePickList(kManager);
    };
    if (row < 0) {
      Manage(MenuItem_GlobalFiles, {guitest::Do(measure)});
    } else {
      // The enable/disable list.
      Manage(MenuItem_GlobalFiles,
             {guitest::Do([=] { DoubleClickRow(kManager, row); }),
              [] { return PickListRows(kManager).size() == 1; }, guitest::Do(measure)});
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Type", "Rule", "Access"}));
  }
}

}  // namespace
