// Text from outside shown by the layer's widgets: never markup, a picture or a link.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolBar>
#include <QWindow>

#include "../../gui/real_message_box.h"
#include "platform/window_system.h"

using namespace platform;

namespace {

class PlainText : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearScriptedAnswers();
    ResetLayer();
  }
};

// Names a log or a plugin may hold: tags, a picture, a link dressed as a harmless path,
// entities and the title placeholder Qt would swallow.
const std::string kHostile[] = {
    "<b>bold</b>",
    "HKLM\\Run\\<h1><font color=red>SAFE - nothing found</font></h1><img src=x.png>",
    "<a href=\"file:///tmp/x.desktop\">C:\\Windows\\system32\\svchost.exe</a>",
    "Tom &amp; Jerry & <i>",
    "a[*]b [*][*] [*",
};

bool LinksFollowed(const QLabel* label) {
  return label->openExternalLinks() ||
         (label->textInteractionFlags() &
          (Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard)) != 0;
}

// What a tool tip shows: Qt reads it as rich text when it looks like some.
std::string ToolTipShown(const QString& tip) {
  QTextDocument document;
  if (Qt::mightBeRichText(tip))
    document.setHtml(tip);
  else
    document.setPlainText(tip);
  return document.toPlainText().toStdString();
}

TEST_F(PlainText, LabelsStatusFieldsTipsAndTitlesShowTheCharactersAsTheyAre) {
  for (const std::string& text : kHostile) {
    SCOPED_TRACE(text);
    int window = OpenWindow(kNewNumber, 0, 0, 400, 200, text);
    int label = TextGadget(kNewNumber, 5, 5, 390, 40, text);
    int picture = ImageGadget(kNewNumber, 5, 50, 40, 40, 0);
    int button = ButtonGadget(kNewNumber, 5, 100, 90, 25, "Go");
    GadgetToolTip(button, text);
    int tools = CreateToolBar(kNewNumber, window);
    ToolBarStandardButton(7, kToolOpen);
    ToolBarToolTip(tools, 7, text);
    int status = CreateStatusBar(kNewNumber, window);
    AddStatusBarField(status, 200);
    StatusBarText(status, 0, text);
    QApplication::processEvents();

    auto* shown = static_cast<QLabel*>(GadgetWidget(label));
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    EXPECT_FALSE(LinksFollowed(shown));
    EXPECT_EQ(shown->text().toStdString(), text);
    SetGadgetText(label, text + "<br>");
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    EXPECT_EQ(GetGadgetText(label), text + "<br>");
    SetGadgetText(picture, text);
    EXPECT_EQ(static_cast<QLabel*>(GadgetWidget(picture))->textFormat(), Qt::PlainText);

    auto* field = WindowWidget(window)->findChild<QStatusBar*>()->findChild<QLabel*>();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->textFormat(), Qt::PlainText);
    EXPECT_FALSE(LinksFollowed(field));
    EXPECT_EQ(field->text().toStdString(), text);

    EXPECT_EQ(ToolTipShown(GadgetWidget(button)->toolTip()), text);
    auto* bar = WindowWidget(window)->findChild<QToolBar*>();
    EXPECT_EQ(ToolTipShown(bar->actions().at(0)->toolTip()), text);

    // The title the window system gets, and the one the layer reads back and looks up.
    ASSERT_NE(WindowWidget(window)->windowHandle(), nullptr);
    EXPECT_EQ(WindowWidget(window)->windowHandle()->title().toStdString(), text);
    EXPECT_EQ(GetWindowTitle(window), text);
    EXPECT_EQ(FindWindowByTitle(text), window);
    SetWindowTitle(window, "[*]" + text);
    EXPECT_EQ(WindowWidget(window)->windowHandle()->title().toStdString(), "[*]" + text);
    EXPECT_EQ(GetWindowTitle(window), "[*]" + text);
    CloseWindow(window);
  }
}

// A plain tip stays the text it was given.
TEST_F(PlainText, AnOrdinaryToolTipIsKeptAsGiven) {
  OpenWindow(kNewNumber, 0, 0, 200, 100, "tips");
  int button = ButtonGadget(kNewNumber, 5, 5, 90, 25, "Go");
  GadgetToolTip(button, "Check all\nof them: 1 < 2");
  EXPECT_EQ(GadgetWidget(button)->toolTip().toStdString(), "Check all\nof them: 1 < 2");
}

// An "&" would make the next letter a shortcut and vanish itself.
TEST_F(PlainText, ButtonsFramesAndMenusShowTheirAmpersands) {
  const std::string text = "Tom & Jerry && R&D&";
  int window = OpenWindow(kNewNumber, 0, 0, 400, 300, "amp");
  CreateMenuBar(kNewNumber, window);
  MenuTitle(text);
  MenuItem(1, text);
  int popup = CreatePopupMenu(kNewNumber);
  MenuItem(1, text);
  OpenSubMenu(text);
  MenuItem(2, "two");
  CloseSubMenu();
  MenuItem(3, "three");
  SetMenuItemText(popup, 3, text);
  const int gadgets[] = {
      ButtonGadget(kNewNumber, 5, 5, 90, 25, text), CheckBoxGadget(kNewNumber, 5, 35, 90, 25, text),
      OptionGadget(kNewNumber, 5, 65, 90, 25, text), FrameGadget(kNewNumber, 5, 95, 200, 60, text)};
  for (int gadget : gadgets) {
    SCOPED_TRACE(gadget);
    EXPECT_EQ(GetGadgetText(gadget), text);
    SetGadgetText(gadget, text + "&");
    EXPECT_EQ(GetGadgetText(gadget), text + "&");
  }
  for (QAbstractButton* button : WindowWidget(window)->findChildren<QAbstractButton*>())
    EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty()) << button->text().toStdString();
  auto* bar = WindowWidget(window)->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  for (QAction* action : bar->findChildren<QAction*>())
    EXPECT_TRUE(QKeySequence::mnemonic(action->text()).isEmpty()) << action->text().toStdString();
  EXPECT_EQ(MenuItemTexts(popup),
            (std::vector<std::string>{"1:" + text, ">" + text, "  2:two", "3:" + text}));
  FreeMenu(popup);
}

TEST_F(PlainText, AMessageBoxShowsItsTextAndTitleAsTheyAre) {
  for (const std::string& text : kHostile) {
    SCOPED_TRACE(text);
    guitest::RealMessageBox box;
    EXPECT_EQ(MessageRequester(text, text), kResultOk);
    const guitest::SeenMessageBox& seen = box.Seen();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_FALSE(seen.opensLinks);
    EXPECT_EQ(seen.text, text);
    EXPECT_EQ(seen.shownTitle, text);
  }
}

}  // namespace
