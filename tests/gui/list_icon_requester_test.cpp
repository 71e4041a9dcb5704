// The pick list driven through the loop hook as a user drives it: keys, clicks, the
// search field, check boxes, the copy menu and the remembered geometry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "gui/list_icon_requester.h"
#include "platform/window_system.h"
#include "real_message_box.h"
#include "scoped_env.h"

using namespace platform;
using namespace gui;

namespace {

constexpr const char* kTitle = "Pick";
constexpr const char* kRows = "alpha|one\nbeta|two\nGamma|three";

// Steps run one after another from the loop hook; a step returns true when it is done.
class Script {
 public:
  using Step = std::function<bool()>;
  explicit Script(std::vector<Step> steps) : m_steps(std::move(steps)) {
    SetLoopHook([this] { Run(); });
  }
  ~Script() { SetLoopHook(nullptr); }
  bool Finished() const { return m_next == m_steps.size(); }

 private:
  void Run() {
    if (++m_calls > 1000) {  // about ten seconds: give up and cancel
      ADD_FAILURE() << "script stuck at step " << m_next;
      PostEvent(kEventCloseWindow, FindWindowByTitle(kTitle), -1);
      SetLoopHook(nullptr);
      return;
    }
    if (m_next < m_steps.size() && m_steps[m_next]()) ++m_next;
  }
  std::vector<Step> m_steps;
  size_t m_next = 0;
  int m_calls = 0;
};

int Win() {
  return FindWindowByTitle(kTitle);
}
int Gadget(const char* name) {
  return FindGadgetByName(Win(), name);
}
QTreeWidget* List() {
  return static_cast<QTreeWidget*>(GadgetWidget(Gadget("lst")));
}

QPoint RowPoint(int row, int column = 0) {
  QTreeWidget* tree = List();
  QRect rect = tree->visualItemRect(tree->topLevelItem(row));
  int x = tree->header()->sectionViewportPosition(column) + 5;
  return QPoint(x, rect.center().y());
}

void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus ? focus : WindowWidget(Win()), Qt::Key(key), modifiers);
}

void ClickRow(int row) {
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
}

// A user's click on a row's check box: the item toggles as the delegate would toggle it.
void ToggleCheck(int row) {
  auto* item = List()->topLevelItem(row);
  item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

std::vector<std::string> ShownRows() {
  std::vector<std::string> rows;
  int list = Gadget("lst");
  for (int r = 0; r < CountGadgetItems(list); ++r) rows.push_back(GetGadgetItemText(list, r));
  return rows;
}

bool Shows(std::vector<std::string> rows) {
  return ShownRows() == rows;
}

// Like a user: focus the field first, and type once the placeholder has gone.
bool Type(const char* text) {
  int sea = Gadget("sea");
  if (GetActiveGadget() != sea || GetGadgetText(sea) == "Enter search string ...") {
    SetActiveGadget(sea);
    return false;
  }
  QTest::keyClicks(GadgetWidget(sea), text);
  return true;
}

void ClearSearch() {
  QWidget* sea = GadgetWidget(Gadget("sea"));
  QTest::keyClick(sea, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(sea, Qt::Key_Backspace);
}

bool Opened() {
  return Win() >= 0 && Gadget("lst") >= 0;
}

class PickListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::filesystem::path(::testing::TempDir()) /
             ("picklist-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_home);
    m_envHome.emplace("HOME", m_home.string());
    m_envAppData.emplace("APPDATA", m_home.string());
    SetClipboardText("");
  }
  void TearDown() override {
    ResetLayer();
    std::filesystem::remove_all(m_home);
  }
  std::filesystem::path m_home;
  std::optional<lumivex_testing::ScopedEnv> m_envHome, m_envAppData;
};

TEST_F(PickListTest, ReturnEscapeAndDoubleClickInSingleMode) {
  struct Case {
    const char* what;
    std::function<void()> act;
    std::string expected;
  } cases[] = {
      {"return",
       [] {
         ClickRow(1);
         Key(Qt::Key_Return);
       },
       "beta|two"},
      {"double-click",
       [] { QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(2)); },
       "Gamma|three"},
      {"escape",
       [] {
         ClickRow(1);
         Key(Qt::Key_Escape);
       },
       "***CANCEL***"},
      {"close box", [] { WindowWidget(Win())->close(); }, "***CANCEL***"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Script script({[] { return Opened(); },
                   [&] {
                     c.act();
                     return true;
                   }});
    EXPECT_EQ(ListIconRequester(kTitle, "", "", "Name|Value", "100|*", kRows, "", kNoParent, 0, ""),
              c.expected);
  }
}

TEST_F(PickListTest, LockedRowsAreNeverReturned) {
  const std::string items = "{{locked}}alpha|one\nbeta|two\n{{disabled}}Gamma|three";
  {
    std::string status;
    Script script({[] { return Opened(); },
                   [&] {
                     status = GetGadgetText(Gadget("stb"));
                     ClickRow(0);
                     Key(Qt::Key_Return);
                     QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(2));
                     return true;
                   },
                   [] {
                     Key(Qt::Key_Escape);
                     return true;
                   }});
    EXPECT_EQ(ListIconRequester(kTitle, "", "", "A|B", "50|50", items, "", kNoParent, 0, ""),
              "***CANCEL***");
    EXPECT_EQ(status, "Select item by doubleclicking ...");
  }
  {
    std::string message, button;
    Script script({[] { return Opened(); },
                   [&] {
                     message = GetGadgetText(Gadget("msg"));
                     button = GetGadgetText(Gadget("but"));
                     for (int r = 0; r < 3; ++r) ToggleCheck(r);
                     return true;
                   },
                   [] {
                     QTest::mouseClick(GadgetWidget(Gadget("but")), Qt::LeftButton);
                     return true;
                   }});
    EXPECT_EQ(
        ListIconRequester(kTitle, "", "", "A|B", "50|50", items, "", kNoParent, LIR_CheckBoxes, ""),
        "beta|two");
    EXPECT_EQ(message, "Select item(s) by checking/unchecking ...");
    EXPECT_EQ(button, "Ok");
  }
}

TEST_F(PickListTest, SearchWithNegationFiltersAfterThePause) {
  Script script({[] { return Opened(); },
                 [] {
                   return Shows({"alpha", "beta", "Gamma"});
                 },
                 [] { return Type("ga"); }, [] { return Shows({"Gamma"}); },
                 [] {
                   ClearSearch();
                   return Type("!=two");
                 },
                 [] {
                   return Shows({"alpha", "Gamma"});
                 },
                 [] {
                   ClearSearch();
                   return Type("!a");
                 },
                 [] { return Shows({}); },
                 [] {
                   ClearSearch();
                   return Type("<>");
                 },
                 [] {
                   return Shows({"alpha", "beta", "Gamma"});
                 },
                 [] {
                   Key(Qt::Key_Escape);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "Name|Value", "100|*", kRows, "", kNoParent,
                              LIR_SearchField, ""),
            "***CANCEL***");
  EXPECT_TRUE(script.Finished());
}

TEST_F(PickListTest, ChecksSurviveTheFilterAndComeBackOnConfirm) {
  // Check beta, filter to alpha, check it, confirm while beta is hidden: both come back.
  Script script({[] { return Opened(); },
                 [] {
                   ToggleCheck(1);
                   return true;
                 },
                 [] { return Type("al"); }, [] { return Shows({"alpha"}); },
                 [] {
                   ToggleCheck(0);
                   return true;
                 },
                 [] {
                   QTest::mouseClick(GadgetWidget(Gadget("but")), Qt::LeftButton);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "Name|Value", "100|*", kRows, "", kNoParent,
                              LIR_CheckBoxes | LIR_SearchField, ""),
            "alpha|one\nbeta|two");
}

TEST_F(PickListTest, CheckButtonsAndPrefixRowsKeepTheirOwnChecks) {
  const std::string items = "ab\nb\nc";
  Script script({[] { return Opened(); },
                 [] {
                   ToggleCheck(0);
                   return true;
                 },  // "ab" must not drag "b" along
                 [] { return Type("b"); },
                 [] {
                   return Shows({"ab", "b"});
                 },
                 [] {
                   QTest::mouseClick(GadgetWidget(Gadget("chi")), Qt::LeftButton);
                   return true;
                 },
                 [] {
                   // inverted: ab off, b on
                   return GetGadgetItemState(Gadget("lst"), 1) & kItemChecked;
                 },
                 [] {
                   ClearSearch();
                   return true;
                 },
                 [] {
                   return Shows({"ab", "b", "c"});
                 },
                 [] {
                   QTest::mouseClick(GadgetWidget(Gadget("but")), Qt::LeftButton);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "X", "*", items, "", kNoParent,
                              LIR_CheckBoxes | LIR_SearchField, ""),
            "b");
}

TEST_F(PickListTest, PresetSelectsAndMarkupStaysOutOfTheResult) {
  const std::string items = "{{color:red}}a|b\na|{fg:red}b\nx\\|y|c:\\\\temp";
  Script script({[] { return Opened(); },
                 [] {
                   int list = Gadget("lst");
                   EXPECT_EQ(GetGadgetItemState(list, 0) & kItemChecked, kItemChecked);
                   EXPECT_EQ(GetGadgetItemState(list, 1) & kItemChecked, 0);
                   ToggleCheck(2);
                   QTest::mouseClick(GadgetWidget(Gadget("but")), Qt::LeftButton);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "A|B", "50|50", items, "a|b", kNoParent,
                              LIR_CheckBoxes, ""),
            "a|b\nx\\|y|c:\\\\temp");
}

TEST_F(PickListTest, CopyMenusActOnTheCellUnderThePointer) {
  const std::string items = "1|2|\n3|4|x\n|x|y";
  auto rightClick = [](int row, int column) {
    QTest::mouseClick(List()->viewport(), Qt::RightButton, {}, RowPoint(row, column));
  };
  auto choose = [](int id) {
    int menu = LastShownPopupMenu();
    return menu >= 0 && TriggerMenuItem(menu, id);
  };
  std::vector<std::string> copied, rowMenu, emptyMenu;
  auto copiedText = [&] {
    std::string text = GetClipboardText();
    if (text.empty()) return false;
    copied.push_back(text);
    SetClipboardText("");
    return true;
  };
  Script script({[] { return Opened(); },
                 [&] {
                   ClickRow(0);
                   rightClick(1, 2);
                   return true;
                 },
                 [&] {
                   rowMenu = MenuItemTexts(LastShownPopupMenu());
                   return choose(11);
                 },
                 copiedText,
                 [&] {
                   rightClick(2, 0);
                   return true;
                 },
                 [&] { return choose(12); }, copiedText,
                 [&] {
                   rightClick(0, 1);
                   return true;
                 },
                 [&] { return choose(13); }, copiedText,
                 [&] {
                   rightClick(0, 0);
                   return true;
                 },
                 [&] { return choose(14); }, copiedText,
                 [&] {
                   QTest::mouseClick(List()->viewport(), Qt::RightButton, {},
                                     QPoint(5, List()->viewport()->height() - 3));
                   return true;
                 },
                 [&] {
                   emptyMenu = MenuItemTexts(LastShownPopupMenu());
                   return choose(10);
                 },
                 [] {
                   Key(Qt::Key_Escape);
                   return true;
                 }});
  ScriptMessageAnswer(kResultOk);
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "A|B|C", "50|50|50", items, "", kNoParent,
                              LIR_CopyMenu | LIR_ExpandCell, ""),
            "***CANCEL***");
  EXPECT_EQ(copied,
            (std::vector<std::string>{"x", "x\ty", "2\n4\nx", "A\tB\tC\n1\t2\t\n3\t4\tx\n\tx\ty"}));
  EXPECT_EQ(rowMenu,
            (std::vector<std::string>{"10:Expand cell ...", "-", "11:Copy cell to clipboard", "-",
                                      "12:Copy line to clipboard", "13:Copy column to clipboard",
                                      "-", "14:Copy table to clipboard"}));
  EXPECT_EQ(emptyMenu,
            (std::vector<std::string>{"10:Expand cell ...", "-", "14:Copy table to clipboard"}));
  ASSERT_FALSE(ShownMessages().empty());
  EXPECT_EQ(ShownMessages().back().text, "1");  // the cell recorded by the last row click
}

// A message and a cell from a log that look like markup: the message, the cell and the cell
// expanded in its message box show their characters, and nothing becomes a link.
TEST_F(PickListTest, MarkupInTheMessageAndAnExpandedCellShowsAsItIs) {
  const std::string message = "<h1><font color=red>SAFE - nothing found</font></h1><img src=x>";
  const std::string link =
      "<a href=\"file:///tmp/x.desktop\">C:\\Windows\\system32\\svchost.exe</a>";
  guitest::RealMessageBox box;
  Qt::TextFormat messageFormat = Qt::AutoText;
  std::string messageShown, cellShown;
  Script script({[] { return Opened(); },
                 [&] {
                   auto* msg = static_cast<QLabel*>(GadgetWidget(Gadget("msg")));
                   messageFormat = msg->textFormat();
                   messageShown = msg->text().toStdString();
                   cellShown = List()->topLevelItem(0)->text(1).toStdString();
                   QTest::mouseClick(List()->viewport(), Qt::RightButton, {}, RowPoint(0, 1));
                   return true;
                 },
                 [] {
                   int menu = LastShownPopupMenu();
                   return menu >= 0 && TriggerMenuItem(menu, 10);
                 },
                 [&] { return box.Seen().seen; },
                 [] {
                   PostEvent(kEventCloseWindow, Win(), -1);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, message, "", "Key|Value", "50|300", "<b>k</b>|" + link, "",
                              kNoParent, LIR_ExpandCell, ""),
            "***CANCEL***");
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(messageFormat, Qt::PlainText);
  EXPECT_EQ(messageShown, message);
  EXPECT_EQ(cellShown, link);
  const guitest::SeenMessageBox& seen = box.Seen();
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.format, Qt::PlainText);
  EXPECT_FALSE(seen.opensLinks);
  EXPECT_EQ(seen.text, link);
}

TEST_F(PickListTest, GeometryIsRememberedAlsoWhenCancelled) {
  auto open = [] {
    return ListIconRequester(kTitle, "", "", "A|B|C", "0|150|*", kRows, "", kNoParent,
                             LIR_RememberGeometry, "geo");
  };
  int hiddenWidth = -1, starWidth = -1;
  {
    Script script({[] { return Opened(); },
                   [] {
                     ResizeWindow(Win(), 30, 40, 520, 330);
                     return true;
                   },
                   [] { return WindowWidth(Win()) == 520; },
                   [&] {
                     hiddenWidth = GetGadgetColumnWidth(Gadget("lst"), 0);
                     starWidth = GetGadgetColumnWidth(Gadget("lst"), 2);
                     Key(Qt::Key_Escape);
                     return true;
                   }});
    EXPECT_EQ(open(), "***CANCEL***");
  }
  EXPECT_EQ(hiddenWidth, 0);
  EXPECT_EQ(starWidth, 520 - 10 - 150 - 30);

  std::ifstream in(m_home / "Tolvek" / "ListIconRequester", std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(file.find("-A|B|C-0|150|*-geo-"), std::string::npos) << file;
  EXPECT_NE(file.find("\x01"
                      "30,40,520,330\r\n"),
            std::string::npos)
      << file;

  int x = 0, y = 0, w = 0, h = 0;
  {
    Script script({[] { return Opened(); },
                   [&] {
                     x = WindowX(Win());
                     y = WindowY(Win());
                     w = WindowWidth(Win());
                     h = WindowHeight(Win());
                     Key(Qt::Key_Escape);
                     return true;
                   }});
    open();
  }
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  EXPECT_EQ(w, 520);
  EXPECT_EQ(h, 330);
}

TEST_F(PickListTest, ParentIsDisabledWhileOpenAndEnabledAfter) {
  int parent = OpenWindow(kNewNumber, 100, 100, 600, 400, "parent");
  bool disabledMeanwhile = false;
  int x = 0, y = 0;
  Script script({[] { return Opened(); },
                 [&] {
                   disabledMeanwhile = !IsWindowEnabled(parent);
                   x = WindowX(Win());
                   y = WindowY(Win());
                   WindowWidget(parent)->close();  // dropped: the parent is disabled
                   Key(Qt::Key_Escape);
                   return true;
                 }});
  EXPECT_EQ(ListIconRequester(kTitle, "", "", "A", "*", kRows, "", parent, LIR_DisableParent, ""),
            "***CANCEL***");
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_TRUE(IsWindowEnabled(parent));
  EXPECT_EQ(x, WindowX(parent) + 300 - 200);
  EXPECT_EQ(y, WindowY(parent) + 200 - 150);
  while (int type = WindowEvent()) EXPECT_NE(type, kEventCloseWindow);  // dropped, not delayed
}

TEST_F(PickListTest, FourThousandCheckedRowsFilterQuicklyAndStayChecked) {
  constexpr int kCount = 4000;
  std::string items;
  for (int i = 0; i < kCount; ++i) items += "row " + std::to_string(i) + "|cell\n";
  QElapsedTimer typed;
  qint64 filtered = -1;
  Script script({[] { return Opened(); },
                 [&] {
                   if (!Type("123")) return false;
                   typed.start();
                   return true;
                 },
                 [&] {
                   // 123, 1123, 1230 to 1239, 2123 and 3123
                   if (CountGadgetItems(Gadget("lst")) != 14) return false;
                   filtered = typed.elapsed();
                   return true;
                 },
                 [] {
                   QTest::mouseClick(GadgetWidget(Gadget("but")), Qt::LeftButton);
                   return true;
                 }});
  std::string result = ListIconRequester(kTitle, "", "", "Name|Value", "100|*", items, items,
                                         kNoParent, LIR_CheckBoxes | LIR_SearchField, "");
  EXPECT_TRUE(script.Finished());
  // The filter's speed is measured by the pick-list benchmark; here only a bound that no
  // loaded machine reaches, far below the 16 s a selection kept as text took.
  RecordProperty("filter_ms", int(filtered));
  EXPECT_GE(filtered, 0);
  EXPECT_LT(filtered, 8000);
  // Every row was checked by the preset and comes back, the hidden ones too.
  EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), kCount - 1);
}

TEST_F(PickListTest, RowPicturesAboveTheLayersFirstNumberAreTheOnesNamed) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "pictures");
  int first = CreateImage(kNewNumber, 16, 16, Rgba(255, 0, 0, 255));
  int later = CreateImage(kNewNumber, 16, 16, Rgba(0, 0, 255, 255));
  ASSERT_GT(later, 100000);
  int list = ListIconGadget(kNewNumber, 0, 0, 200, 100, "Name", 100);
  std::string items =
      "{{image:" + std::to_string(first) + "}}red\n{{image:" + std::to_string(later) + "}}blue";
  detail::ListIconRequester_FillList(list, items, 0, nullptr);
  auto* tree = static_cast<QTreeWidget*>(GadgetWidget(list));
  ASSERT_EQ(tree->topLevelItemCount(), 2);
  auto colour = [&](int row) {
    return tree->topLevelItem(row)->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8);
  };
  EXPECT_EQ(colour(0), QColor(255, 0, 0));
  EXPECT_EQ(colour(1), QColor(0, 0, 255));
}

}  // namespace
