// Sessions driven through the workbench: saving and loading the inputs, the title and its
// pending mark, the File menu's questions and dialogs, and files that fail or are damaged.
#include <sys/stat.h>

#include <QApplication>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "real_file_dialog.h"
#include "workbench/filter_rules.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/session_file.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

class SessionTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
  }
  static SessionValues Inputs() {
    SessionValues values;
    for (size_t k = 0; k < kSessionKeyCount; ++k) {
      const SessionKey& key = kSessionKeys[k];
      values[k] = key.text ? platform::GetGadgetText(key.gadget)
                           : std::to_string(platform::GetGadgetState(key.gadget));
    }
    return values;
  }
  static void SetInputs(const SessionValues& values) {
    for (size_t k = 0; k < kSessionKeyCount; ++k) {
      const SessionKey& key = kSessionKeys[k];
      if (key.text) {
        platform::SetGadgetText(key.gadget, values[k]);
      } else {
        platform::SetGadgetState(key.gadget, values[k] == "1");
      }
    }
  }
  // Every input away from its default.
  static SessionValues Unusual(const std::string& tag) {
    SessionValues values;
    values[0] = "/cases/with blank/" + tag + " \xC3\xBC\"q\".csv";
    values[1] = " C:\\Dumps\\'" + tag + "'.pcap ";
    values[2] = "1234|56|m\xC3\xA4lware [x]; =.exe";
    for (size_t k = 3; k < kSessionKeyCount; ++k) {
      values[k] = kSessionKeys[k].loadDefault ? "0" : "1";
    }
    return values;
  }
  static std::string Title() { return platform::GetWindowTitle(Window_Main); }
  // The analyst clicks a gadget; the loop serves the click and updates the title.
  static void Click(int window, int gadget) {
    if (platform::GadgetKindOf(gadget) == platform::kGadgetCheckBox ||
        gadget == Button_Main_ForceAscii) {
      platform::SetGadgetState(gadget, !platform::GetGadgetState(gadget));
    }
    platform::PostEvent(platform::kEventGadget, window, gadget);
    MainLoopTurn();
  }
  static void Menu(int item) {
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, item);
    MainLoopTurn();
  }
  static std::string LastMessage() {
    auto shown = platform::ShownMessages();
    return shown.empty() ? "" : shown.back().text;
  }
};

TEST_F(SessionTest, EveryInputSurvivesSaveAndLoadAndASecondSaveChangesNoByte) {
  for (const std::string name : {"plain", "with blanks", "\xE6\x97\xA5\xE6\x9C\xAC \"quoted\""}) {
    const std::string path = m_root + "/" + name + ".lv";
    const SessionValues values = Unusual(name);
    SetInputs(values);
    ASSERT_TRUE(SaveSession(path)) << name;
    EXPECT_EQ(Title(), "LumiVEX - " + path);
    EXPECT_FALSE(IsSessionSavePending());
    const std::string bytes = ReadWholeFile(path);

    ASSERT_TRUE(NewSession(m_root + "/other.lv"));
    EXPECT_NE(Inputs(), values);
    LoadSession(path, false);
    EXPECT_EQ(Inputs(), values) << name;
    EXPECT_EQ(State().sessionFile, path);
    EXPECT_FALSE(IsSessionSavePending());
    ASSERT_TRUE(SaveSession(path));
    EXPECT_EQ(ReadWholeFile(path), bytes) << name;
  }
  // Without the extension it is added, for saving and loading alike.
  ASSERT_TRUE(SaveSession(m_root + "/bare"));
  EXPECT_TRUE(FileExists(m_root + "/bare.lv"));
  LoadSession(m_root + "/bare", false);
  EXPECT_EQ(State().sessionFile, m_root + "/bare.lv");
  EXPECT_TRUE(platform::ShownMessages().empty());
}

TEST_F(SessionTest, RulesOfEveryKindAndAccessSurviveSaveAndLoad) {
  // Every store, match type, access and state, put in as the managers put them.
  const std::string path = m_root + "/rules.lv";
  ASSERT_TRUE(SaveSession(path));
  std::string text = ReadWholeFile(path);
  std::vector<std::string> groups;
  for (const char* word : {"file", "registrykey", "server"}) {
    groups.push_back(SessionFilterGroup(word));
    int n = 0;
    for (MatchType type : {MatchType::kFull, MatchType::kHeading, MatchType::kTrailing,
                           MatchType::kSub, MatchType::kRegex}) {
      for (const char* access : {"r", "w", "rw"}) {
        const std::string pattern = CanonicalPattern(
            type, std::string(word) + "=c:\\" + std::to_string(n++) + "\xC3\xBC \"q\"");
        text = SetSessionRule(text, groups.back(), {pattern, access, n % 2 == 0});
      }
    }
  }
  WriteWholeFile(path, text);
  std::vector<std::vector<FilterRule>> before;
  for (const std::string& group : groups) before.push_back(ParseSessionRules(text, group));

  SetInputs(Unusual("rules"));
  ASSERT_TRUE(SaveSession(path));
  ASSERT_TRUE(NewSession(m_root + "/other.lv"));
  LoadSession(path, false);
  EXPECT_EQ(Inputs(), Unusual("rules"));
  const std::string saved = ReadWholeFile(path);
  for (size_t g = 0; g < groups.size(); ++g) {
    const std::vector<FilterRule> after = ParseSessionRules(saved, groups[g]);
    ASSERT_EQ(after.size(), 15u) << groups[g];
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i].pattern, before[g][i].pattern);
      EXPECT_EQ(after[i].access, before[g][i].access);
      EXPECT_EQ(after[i].enabled, before[g][i].enabled);
    }
  }
  ASSERT_TRUE(SaveSession(path));
  EXPECT_EQ(ReadWholeFile(path), saved);
}

TEST_F(SessionTest, ThePendingMarkFollowsEveryChangeAndEverySave) {
  const std::string path = m_root + "/case.lv";
  ASSERT_TRUE(SaveSession(path));
  const std::string title = "LumiVEX - " + path;

  Click(Window_Main, Checkbox_Main_ModeDumb);
  EXPECT_EQ(Title(), title + "*");
  Click(Window_Main, Checkbox_Main_ModeDumb);
  EXPECT_EQ(Title(), title);

  Click(Window_RenderOptions, Checkbox_RenderOptions_FilesWrite);
  EXPECT_EQ(Title(), title + "*");
  Click(Window_Main, Button_Main_ForceAscii);
  EXPECT_EQ(Title(), title + "*");
  Menu(MenuItem_Save);
  EXPECT_EQ(Title(), title);
  EXPECT_NE(ReadWholeFile(path).find("renderoption_files_write = 0\nrenderoption_files_create"),
            std::string::npos);
  EXPECT_NE(ReadWholeFile(path).find("forceascii = 1\n"), std::string::npos);

  // A typed path marks nothing by itself, but the question at the end sees it at once.
  platform::SetGadgetText(String_Main_ProcmonFile, "/typed.csv");
  MainLoopTurn();
  EXPECT_EQ(Title(), title);
  EXPECT_TRUE(IsSessionSavePending());
  Click(Window_Main, Checkbox_Main_ModeNoPaths);
  Click(Window_Main, Checkbox_Main_ModeNoPaths);
  EXPECT_EQ(Title(), title + "*");
  platform::ScriptFileAnswer("");
  SaveSessionAs();  // cancelled: nothing saved
  EXPECT_EQ(Title(), title + "*");
}

TEST_F(SessionTest, TheDefaultSessionIsSavedUnderANameAndThenSilently) {
  const std::string defaultPath = SettingsFolder() + "default.lv";
  EXPECT_EQ(Title(), "LumiVEX - " + defaultPath);
  // Untouched, although the empty default session lacks the render options' keys.
  EXPECT_FALSE(IsSessionSavePending());

  platform::ScriptFileAnswer(m_root + "/named");
  Menu(MenuItem_Save);
  EXPECT_EQ(State().sessionFile, m_root + "/named.lv");
  EXPECT_EQ(ReadWholeFile(defaultPath), "");
  EXPECT_FALSE(IsSessionSavePending());

  platform::ScriptFileAnswer(m_root + "/not-asked.lv");
  Click(Window_Main, Checkbox_Main_ModeCompressed);
  Menu(MenuItem_Save);
  EXPECT_FALSE(FileExists(m_root + "/not-asked.lv"));
  EXPECT_NE(ReadWholeFile(m_root + "/named.lv").find("modecompressed = 1\n"), std::string::npos);
}

// The rules are part of the case: saving it under a name, from the default session or from
// another case, takes them into the new file, and the old file keeps its own.
TEST_F(SessionTest, SavingUnderANewNameTakesTheFilterRulesAlong) {
  const std::string defaultPath = SettingsFolder() + "default.lv";
  std::string rules = SetSessionRule("", SessionFilterGroup("file"), {"*.tmp", "rw", true});
  rules = SetSessionRule(rules, SessionFilterGroup("server"), {"203.0.113.50", "r", false});
  WriteWholeFile(defaultPath, rules);
  platform::SetGadgetText(String_Main_ProcmonFile, "/a.csv");
  Click(Window_Main, Checkbox_Main_ModeDumb);

  platform::ScriptFileAnswer(m_root + "/case");
  Menu(MenuItem_Save);
  ASSERT_EQ(State().sessionFile, m_root + "/case.lv");
  platform::ScriptFileAnswer(m_root + "/copy.lv");
  Menu(MenuItem_SaveAs);
  ASSERT_EQ(State().sessionFile, m_root + "/copy.lv");

  auto listed = [](const std::string& path, const char* word) {
    std::vector<std::string> found;
    for (const FilterRule& r : ParseSessionRules(ReadWholeFile(path), SessionFilterGroup(word))) {
      found.push_back(r.pattern + "|" + r.access + (r.enabled ? "" : "|off"));
    }
    return found;
  };
  for (const std::string& path : {defaultPath, m_root + "/case.lv", m_root + "/copy.lv"}) {
    EXPECT_EQ(listed(path, "file"), std::vector<std::string>{"*.tmp|rw"}) << path;
    EXPECT_EQ(listed(path, "server"), std::vector<std::string>{"203.0.113.50|r|off"}) << path;
  }
  LoadSession(m_root + "/case.lv", false);
  EXPECT_EQ(platform::GetGadgetText(String_Main_ProcmonFile), "/a.csv");
  EXPECT_EQ(platform::GetGadgetState(Checkbox_Main_ModeDumb), 1);
  EXPECT_FALSE(IsSessionSavePending());
}

// On a first run and after any load, a session nobody changed asks nothing when the analyst
// opens another or closes the window, also when its file lacks keys.
TEST_F(SessionTest, AnUntouchedSessionIsNeverCalledChanged) {
  const std::string partial = m_root + "/partial.lv";
  WriteWholeFile(partial, "modedumb = 1\nrenderoption_files = yes\n");
  for (const std::string& path : {SettingsFolder() + "default.lv", partial}) {
    SCOPED_TRACE(path);
    LoadSession(path, false);
    Click(Window_RenderOptions, Checkbox_RenderOptions_FilesWrite);
    Click(Window_RenderOptions, Checkbox_RenderOptions_FilesWrite);
    EXPECT_EQ(Title(), "LumiVEX - " + path);
    EXPECT_FALSE(IsSessionSavePending());
    // A question would be answered Cancel and show no dialog.
    platform::ScriptMessageAnswer(platform::kResultCancel);
    platform::ScriptFileAnswer("");
    Menu(MenuItem_Open);
    ASSERT_FALSE(platform::ShownMessages().empty());
    EXPECT_EQ(platform::ShownMessages().front().title, "Open session from ...");
    platform::ClearScriptedAnswers();
  }
  // The close box ends the program without a question.
  platform::ScriptMessageAnswer(platform::kResultCancel);
  platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
  EXPECT_THROW(MainLoopTurn(), ProgramEnded);
  EXPECT_TRUE(platform::ShownMessages().empty()) << LastMessage();
}

// The dialog asks about the file it answers; a name that the added ".lv" turns into an
// existing file's is asked about once more, as the dialog never saw it.
TEST_F(SessionTest, NewAndSaveAsAskBeforeRewritingAFileTheExtensionNames) {
  const std::string existing = m_root + "/existing.lv";
  const std::string content = "launcher = 1|2|x\n[evtweave_serverignores.session]\nsrv\tr\n";
  WriteWholeFile(existing, content);
  const SessionValues values = Unusual("mine");
  SetInputs(values);
  State().graph.layout.nodes.emplace_back();

  // New: no question pending when the answer is No to saving; then the file exists: No.
  for (int item : {MenuItem_New, MenuItem_SaveAs}) {
    platform::ClearScriptedAnswers();
    if (item == MenuItem_New) platform::ScriptMessageAnswer(platform::kResultNo);
    platform::ScriptFileAnswer(m_root + "/existing");
    platform::ScriptMessageAnswer(platform::kResultNo);
    Menu(item);
    EXPECT_EQ(ReadWholeFile(existing), content);
    EXPECT_EQ(Inputs(), values);
    EXPECT_EQ(LastMessage(),
              "The file \"" + existing + "\" already exists.\nDo you want to overwrite it?");
  }

  platform::ScriptMessageAnswer(platform::kResultNo);
  platform::ScriptFileAnswer(m_root + "/existing");
  platform::ScriptMessageAnswer(platform::kResultYes);
  Menu(MenuItem_New);
  EXPECT_EQ(State().sessionFile, existing);
  SessionValues fresh = SessionValuesOnLoad(ReadSessionKeys(""));
  fresh[6] = "1";  // force ASCII is kept
  EXPECT_EQ(Inputs(), fresh);
  EXPECT_NE(ReadWholeFile(existing).find("[evtweave_serverignores.session]\nsrv\tr\n"),
            std::string::npos);
  EXPECT_FALSE(IsSessionSavePending());
  // New leaves the graph on screen; loading clears it.
  EXPECT_EQ(State().graph.layout.nodes.size(), 1u);
  LoadSession(existing, false);
  EXPECT_TRUE(State().graph.layout.nodes.empty());
}

// Over an existing file the analyst is asked once, by the dialog, whether it is to be
// replaced; a name without the extension once too, by the program.
TEST_F(SessionTest, SaveAsOverAnExistingFileAsksOnce) {
  platform::SetUnscriptedDialogHandler(nullptr);
  const std::string existing = m_root + "/existing.lv";
  const struct {
    const char* typed;
    const char* question;
  } kCases[] = {
      {"/existing.lv", "existing.lv already exists.\nDo you want to replace it?"},
      {"/existing", "already exists.\nDo you want to overwrite it?"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.typed);
    WriteWholeFile(existing, "launcher = old\n");
    SetInputs(Unusual(c.typed));
    RealFileDialog dialog(m_root + c.typed);
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_SaveAs);
    do {
      MainLoopTurn();
    } while (platform::QueuedEventCount() > 0);
    ASSERT_TRUE(dialog.Answered());
    EXPECT_EQ(dialog.Title(), "Save session to ...");
    std::string shown;
    for (const std::string& box : dialog.Boxes()) shown += "[" + box + "] ";
    ASSERT_EQ(dialog.Boxes().size(), 1u) << shown;
    EXPECT_NE(dialog.Boxes()[0].find(c.question), std::string::npos) << dialog.Boxes()[0];
    EXPECT_EQ(State().sessionFile, existing);
    EXPECT_FALSE(IsSessionSavePending());
  }
}

TEST_F(SessionTest, AFailedSaveNamesTheFileAndWhyAndKeepsTheSessionItsTitleAndTheProgram) {
  const std::string path = m_root + "/case.lv";
  ASSERT_TRUE(SaveSession(path));
  const std::string bytes = ReadWholeFile(path);
  const std::string title = Title();
  const std::string unwritable = m_root + "/no such folder/s.lv";
  mkdir((m_root + "/a folder.lv").c_str(), 0700);
  WriteWholeFile(m_root + "/read only.lv", "");
  chmod((m_root + "/read only.lv").c_str(), 0400);

  const struct {
    std::string target, cause;
  } kCases[] = {{unwritable, "No such file or directory"},
                {m_root + "/a folder.lv", "Is a directory"},
                {m_root + "/read only.lv", "Permission denied"}};
  for (const auto& c : kCases) {
    platform::ScriptMessageAnswer(platform::kResultOk);
    EXPECT_FALSE(SaveSession(c.target));
    EXPECT_EQ(LastMessage(),
              "Error: The session could not be saved to \"" + c.target + "\" (" + c.cause + ")!");
    EXPECT_EQ(State().sessionFile, path);
    EXPECT_EQ(Title(), title);
  }

  // A failed New keeps the inputs it would have cleared.
  const SessionValues values = Unusual("kept");
  SetInputs(values);
  platform::ScriptMessageAnswer(platform::kResultOk);
  EXPECT_FALSE(NewSession(unwritable));
  EXPECT_EQ(Inputs(), values);
  EXPECT_EQ(ReadWholeFile(path), bytes);

  // Yes to saving on close, the save fails: the program stays.
  LoadSession(SettingsFolder() + "default.lv", false);
  SetInputs(values);
  platform::ScriptMessageAnswer(platform::kResultYes);
  platform::ScriptFileAnswer(unwritable);
  platform::ScriptMessageAnswer(platform::kResultOk);
  platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
  EXPECT_NO_THROW(MainLoopTurn());
  EXPECT_EQ(LastMessage(), "Error: The session could not be saved to \"" + unwritable +
                               "\" (No such file or directory)!");

  // Cancel to the question, and a cancelled name, keep it too; No ends it.
  platform::ScriptMessageAnswer(platform::kResultCancel);
  platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
  EXPECT_NO_THROW(MainLoopTurn());
  platform::ScriptMessageAnswer(platform::kResultYes);
  platform::ScriptFileAnswer("");
  platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
  EXPECT_NO_THROW(MainLoopTurn());
  platform::ScriptMessageAnswer(platform::kResultNo);
  platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
  EXPECT_THROW(MainLoopTurn(), ProgramEnded);
}

TEST_F(SessionTest, DamagedFilesLoadTheirDefaultsAndAMissingOneChangesNothing) {
  std::string garbage;
  for (int i = 0; i < 65536; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  const SessionValues defaults = SessionValuesOnLoad(ReadSessionKeys(""));
  struct Case {
    const char* name;
    std::string text;
    SessionValues expected;
  } cases[] = {
      {"binary garbage", garbage, defaults},
      {"a 10 MB line", std::string(10 << 20, 'q') + "\n", defaults},
      {"missing keys", "modedumb = 1\n",
       [&] {
         SessionValues v = defaults;
         v[5] = "1";
         return v;
       }()},
  };
  for (const Case& c : cases) {
    const std::string path = m_root + "/damaged.lv";
    WriteWholeFile(path, c.text);
    SetInputs(Unusual("before"));
    LoadSession(path, false);
    EXPECT_EQ(Inputs(), c.expected) << c.name;
    EXPECT_EQ(State().sessionFile, path);
  }
  EXPECT_TRUE(platform::ShownMessages().empty());

  const SessionValues before = Inputs();
  const std::string title = Title();
  State().interaction.savedZoom = 2.5;
  platform::ScriptMessageAnswer(platform::kResultNo);  // not saving the pending inputs
  platform::ScriptFileAnswer(m_root + "/gone");
  platform::ScriptMessageAnswer(platform::kResultOk);
  Menu(MenuItem_Open);
  EXPECT_EQ(LastMessage(), "Error: Session \"" + m_root + "/gone.lv\" could not be found!");
  EXPECT_EQ(Inputs(), before);
  EXPECT_EQ(Title(), title);
  EXPECT_EQ(State().interaction.savedZoom, 0);
}

TEST_F(SessionTest, AStartWithAMissingLastSessionFallsBackToTheDefault) {
  ForgetWindows();
  auto settings = QuietSettings();
  settings["lastsession"] = m_root + "/vanished.lv";
  WriteSettings(settings);
  WriteWholeFile(SettingsFolder() + "default.lv", "modedumb = 1\n");
  platform::ScriptMessageAnswer(platform::kResultOk);
  ASSERT_TRUE(Start());
  EXPECT_EQ(LastMessage(), "Error: Session \"" + m_root + "/vanished.lv\" could not be found!");
  EXPECT_EQ(State().sessionFile, SettingsFolder() + "default.lv");
  EXPECT_EQ(platform::GetGadgetState(Checkbox_Main_ModeDumb), 1);
}

}  // namespace
