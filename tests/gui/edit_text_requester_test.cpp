// The text requester driven as a user drives it: find, find next with wrap, expression
// finds and errors, the results list, and the keys that close it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "gui/edit_text_requester.h"
#include "gui_script.h"
#include "platform/editor_gadget.h"
#include "platform/scintilla_codes.h"
#include "platform/window_system.h"
#include "scoped_env.h"
#include "tolvek/startup.h"
#include "tolvek/temp_files.h"

using namespace platform;
using namespace gui;
using guitest::Do;
using guitest::Script;
using Sci = platform::ScintillaCodes;

namespace {

constexpr const char* kTitle = "Viewer";
constexpr int64_t kViewer = ETR_MenuBar | ETR_EscapeCloses | ETR_ReadOnly;

int Win() {
  return FindWindowByTitle(kTitle);
}
int Editor() {
  return FindGadgetByName(Win(), "editor");
}
bool Opened() {
  return Win() >= 0 && Editor() >= 0;
}
intptr_t Caret() {
  return ScintillaSendMessage(Editor(), Sci::SCI_GETCURRENTPOS);
}
void Menu(int id) {
  PostEvent(kEventMenu, Win(), -1, 0, id);
}
// Answers the find box with text once it is open.
Script::Step AnswerFind(std::string text) {
  return [text] {
    int box = FindWindowByTitle("Find ...");
    if (box < 0) return false;
    auto* field = static_cast<QComboBox*>(GadgetWidget(FindGadgetByName(box, "field")));
    if (!field || !field->hasFocus()) return false;
    field->lineEdit()->selectAll();
    QTest::keyClicks(field->lineEdit(), QString::fromStdString(text));
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    return true;
  };
}
Script::Step Until(std::function<bool()> condition) {
  return condition;
}
bool BoxGone() {
  return FindWindowByTitle("Find ...") < 0;
}
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(GadgetWidget(Editor()), Qt::Key(key), modifiers);
}

class TextRequesterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tolvek::LibraryStartup(); }
  // The private folder the start-up made goes with the test program, as with a program's end.
  static void TearDownTestSuite() {
    tolvek::DeleteTempFiles();
    tolvek::CleanUpTemporaryDirectory4TolvekZubl();
  }
  void SetUp() override {
    m_home = std::filesystem::path(::testing::TempDir()) /
             ("textreq-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_home);
    m_envHome.emplace("HOME", m_home.string());
    m_envAppData.emplace("APPDATA", m_home.string());
    detail::LastFindText().clear();
  }
  void TearDown() override {
    ResetLayer();
    detail::ResetScintillaWrapper();
    std::filesystem::remove_all(m_home);
  }
  std::string Run(const std::string& text, int64_t flags, std::vector<Script::Step> steps) {
    Script script(std::move(steps), kTitle);
    std::string result = EditTextRequesterFromString(kTitle, text, kNoParent, flags, "test");
    EXPECT_TRUE(script.Finished());
    return result;
  }
  std::filesystem::path m_home;
  std::optional<lumivex_testing::ScopedEnv> m_envHome, m_envAppData;
};

TEST_F(TextRequesterTest, FindAndFindNextWrapAround) {
  intptr_t first = -1, second = -1, wrapped = -1, declined = -1;
  ScriptMessageAnswer(kResultYes);  // start at the beginning again
  ScriptMessageAnswer(kResultNo);
  std::string text = "xAByab";
  std::string result = Run(text, kViewer,
                           {Opened, Do([] { Menu(kEtrFind); }), AnswerFind("ab"), Until(BoxGone),
                            Do([&] { first = Caret(); }), Do([] { Menu(kEtrFindNext); }),
                            Do([&] { second = Caret(); }), Do([] { Menu(kEtrFindNext); }),
                            Do([&] { wrapped = Caret(); }), Do([] { Menu(kEtrFindNext); }),
                            Do([] { Menu(kEtrFindNext); }), Do([] { Menu(kEtrFindNext); }),
                            Do([&] { declined = Caret(); }), Do([] { Key(Qt::Key_Escape); })});
  EXPECT_EQ(result, text);
  EXPECT_EQ(first, 3);   // right after the hit at 1
  EXPECT_EQ(second, 6);  // right after the hit at 4
  EXPECT_EQ(wrapped, 3);
  EXPECT_EQ(declined, 6);  // No: the position stays at -1 and Find next is inert
  auto shown = ShownMessages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "Find ...");
  EXPECT_EQ(shown[0].text,
            "No more occurrences found.\nDo you want to start searching at the beginning of the "
            "text?");
  EXPECT_EQ(detail::LastFindText(), "ab");
}

TEST_F(TextRequesterTest, ExpressionFindsAndTheirErrors) {
  intptr_t hit = -1;
  ScriptMessageAnswer(kResultOk);
  ScriptMessageAnswer(kResultOk);
  Run("one\nTwo two", kViewer,
      {Opened, Do([] { Menu(kEtrFind); }), AnswerFind("REGEX:a(b"), Until(BoxGone),
       Do([] { Menu(kEtrFindNext); }), Do([] { Menu(kEtrFind); }), AnswerFind("Regex:^t\\w+"),
       Until(BoxGone), Do([&] { hit = Caret(); }), Do([] { Menu(kEtrDiscard); })});
  auto shown = ShownMessages();
  ASSERT_EQ(shown.size(), 2u);  // once for Find, once again for Find next
  EXPECT_EQ(shown[0].text, "Error in regular expression 'a(b'!");
  EXPECT_EQ(shown[1].text, "Error in regular expression 'a(b'!");
  EXPECT_EQ(hit, 7);  // "Two" on the second line, caseless and per line
}

TEST_F(TextRequesterTest, ResultsListShowsEveryHitAndJumpsToItsLine) {
  std::vector<std::string> rows;
  intptr_t line = -1;
  auto listOpen = [] { return FindWindowByTitle("Find results") >= 0; };
  auto list = [] {
    return static_cast<QTreeWidget*>(
        GadgetWidget(FindGadgetByName(FindWindowByTitle("Find results"), "lst")));
  };
  Run("\xC3\xA9t\xC3\xA9\naaa\nx a|b\ny", kViewer,
      {Opened, Do([] { Menu(kEtrFind); }), AnswerFind("aa"), Until(BoxGone),
       Do([] { Menu(kEtrFindList); }), Until(listOpen), Do([&] {
         for (int r = 0; r < list()->topLevelItemCount(); ++r)
           rows.push_back(list()->topLevelItem(r)->text(0).toStdString() + "|" +
                          list()->topLevelItem(r)->text(1).toStdString());
       }),
       Do([&] { QTest::keyClick(list(), Qt::Key_Escape); }), Until([&] { return !listOpen(); }),
       Do([] { Menu(kEtrFind); }), AnswerFind("regex:a\\|b\\n"), Until(BoxGone),
       Do([] { Menu(kEtrFindList); }), Until(listOpen), Do([&] {
         rows.push_back(list()->topLevelItem(0)->text(1).toStdString());
         SetActiveGadget(FindGadgetByName(FindWindowByTitle("Find results"), "lst"));
         SetGadgetState(FindGadgetByName(FindWindowByTitle("Find results"), "lst"), 0);
         QTest::keyClick(list(), Qt::Key_Return);
       }),
       Until([&] { return !listOpen(); }),
       Do([&] { line = ScintillaSendMessage(Editor(), Sci::SCI_LINEFROMPOSITION, Caret()); }),
       Do([] { Menu(kEtrDiscard); })});
  // Overlapping hits both listed, with 0-based lines after a line of non-ASCII text.
  EXPECT_EQ(rows, (std::vector<std::string>{"1|aa", "1|aa", "a|b\\n"}));
  EXPECT_EQ(line, 2);
}

TEST_F(TextRequesterTest, CancelledFindRemovesTheMarks) {
  bool marked = false, after = true;
  auto anyMark = [] {
    intptr_t length = ScintillaSendMessage(Editor(), Sci::SCI_GETLENGTH);
    for (int i = 0; i < 2; ++i)
      for (intptr_t pos = 0; pos < length; ++pos)
        if (ScintillaSendMessage(Editor(), Sci::SCI_INDICATORVALUEAT, i, pos)) return true;
    return false;
  };
  Run("abc abc", kViewer,
      {Opened, Do([] { Menu(kEtrFind); }), AnswerFind("abc"), Until(BoxGone),
       Do([&] { marked = anyMark(); }), Do([] { Menu(kEtrFind); }),
       [] {
         int box = FindWindowByTitle("Find ...");
         if (box < 0) return false;
         PostEvent(kEventCloseWindow, box, -1);
         return true;
       },
       Until(BoxGone), Do([&] { after = anyMark(); }), Do([] { Menu(kEtrDiscard); })});
  EXPECT_TRUE(marked);
  EXPECT_FALSE(after);
}

TEST_F(TextRequesterTest, CtrlEnterKeepsTheEditedText) {
  std::string result = Run("caf\xC3\xA9", ETR_CtrlEnterKeeps,
                           {Opened, Do([] {
                              ScintillaSendMessage(Editor(), Sci::SCI_DOCUMENTEND);
                              QTest::keyClicks(GadgetWidget(Editor()), " x");
                              // What an input method hands over: text beyond the keyboard.
                              ScintillaSendMessage(Editor(), Sci::SCI_REPLACESEL, 0,
                                                   reinterpret_cast<intptr_t>("\xE2\x82\xAC"));
                            }),
                            Do([] { Key(Qt::Key_Return, Qt::ControlModifier); })});
  EXPECT_EQ(result, "caf\xC3\xA9 x\xE2\x82\xAC");
}

// The program is to end (a logout): the window closes as without Ctrl+Enter, and nothing the
// user typed is kept.
TEST_F(TextRequesterTest, AnEndRequestClosesTheWindowWithoutKeepingTheEdits) {
  intptr_t typed = 0;
  std::string result = Run(
      "some text", ETR_CtrlEnterKeeps,
      {Opened, Do([] { QTest::keyClicks(GadgetWidget(Editor()), "typed "); }),
       Do([&] { typed = ScintillaSendMessage(Editor(), Sci::SCI_GETLENGTH); }), Do(RequestEnd)});
  EXPECT_EQ(typed, 15);
  EXPECT_EQ(result, "some text");
  EXPECT_FALSE(Opened());
}

TEST_F(TextRequesterTest, EscapeWithoutTheFlagClearsTheSelection) {
  bool selected = false, cleared = false;
  intptr_t caret = -1;
  std::string result =
      Run("some text", ETR_CtrlEnterKeeps,
          {Opened, Do([] { ScintillaSendMessage(Editor(), Sci::SCI_SETSEL, 2, 6); }),
           Do([&] { selected = !ScintillaSendMessage(Editor(), Sci::SCI_GETSELECTIONEMPTY); }),
           Do([] { Key(Qt::Key_Escape); }), Do([&] {
             cleared = ScintillaSendMessage(Editor(), Sci::SCI_GETSELECTIONEMPTY) != 0;
             caret = Caret();
           }),
           Do([] { PostEvent(kEventCloseWindow, Win(), -1); })});
  EXPECT_TRUE(selected);
  EXPECT_TRUE(cleared);
  EXPECT_EQ(caret, 0);
  EXPECT_EQ(result, "some text");  // closed, not kept
}

TEST_F(TextRequesterTest, ScreenshotModeFlags) {
  EXPECT_EQ(detail::EffectiveEditTextFlags(ETR_ScreenshotMode | ETR_CtrlEnterKeeps), 0x5BF41);
  EXPECT_EQ(detail::EffectiveEditTextFlags(ETR_ScreenshotMode | ETR_WrapLines | ETR_DisableParent),
            0x5BF41 | ETR_WrapLines);
  EXPECT_EQ(detail::EffectiveEditTextFlags(ETR_ReadOnly), ETR_ReadOnly);
}

}  // namespace
