// Menu bars made of text gadgets: hover highlight by polling and popups under the titles.
#include <gtest/gtest.h>

#include <QCursor>
#include <QTest>
#include <QWidget>

#include "gui/fake_menu.h"
#include "platform/window_system.h"

using namespace platform;
using namespace gui;

namespace {

class FakeMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window = OpenWindow(kNewNumber, 50, 40, 400, 300, "main");
    m_file = TextGadget(kNewNumber, 0, 0, 60, 20, "_File_");
    m_edit = TextGadget(kNewNumber, 60, 0, 60, 20, "Edit");
    m_fileMenu = CreatePopupMenu(kNewNumber);
    MenuItem(1, "Open");
    m_editMenu = CreatePopupMenu(kNewNumber);
    MenuItem(2, "Copy");
    SetActiveWindow(m_window);
    // On an X display activation and placement arrive later than the call.
    EXPECT_TRUE(QTest::qWaitForWindowActive(WindowWidget(m_window)));
    WindowEvent();
    RegisterFakeMenu(m_window, m_file, m_fileMenu);
    RegisterFakeMenu(m_window, m_edit, m_editMenu);
  }
  void TearDown() override {
    detail::ResetFakeMenus();
    ResetLayer();
  }
  void MouseAt(int gadget, int dx, int dy) {
    QCursor::setPos(GadgetScreenX(gadget) + dx, GadgetScreenY(gadget) + dy);
  }
  uint32_t Back(int gadget) { return GetGadgetColor(gadget, kBackColor); }
  int m_window = 0, m_file = 0, m_edit = 0, m_fileMenu = 0, m_editMenu = 0;
};

TEST_F(FakeMenuTest, TitlesLoseTheirUnderscores) {
  EXPECT_EQ(GetGadgetText(m_file), " File ");
  EXPECT_EQ(GetGadgetText(m_edit), "Edit");
}

TEST_F(FakeMenuTest, TheHighlightFollowsTheMouse) {
  ASSERT_EQ(GetActiveWindow(), m_window);
  MouseAt(m_file, 5, 5);
  HandleFakeMenu(kEventNone);
  EXPECT_EQ(detail::FakeMenuHovered(m_window), m_file);
  EXPECT_EQ(Back(m_file), Rgb(200, 200, 200));
  MouseAt(m_edit, 5, 5);
  HandleFakeMenu(kEventNone);
  EXPECT_EQ(detail::FakeMenuHovered(m_window), m_edit);
  EXPECT_EQ(Back(m_edit), Rgb(200, 200, 200));
  EXPECT_NE(Back(m_file), Rgb(200, 200, 200));
  MouseAt(m_edit, 5, 100);
  HandleFakeMenu(kEventNone);
  EXPECT_EQ(detail::FakeMenuHovered(m_window), -1);
  EXPECT_NE(Back(m_edit), Rgb(200, 200, 200));
  // The bottom-right edge still counts as inside.
  MouseAt(m_edit, 60, 20);
  HandleFakeMenu(kEventNone);
  EXPECT_EQ(detail::FakeMenuHovered(m_window), m_edit);
  // Another window in the foreground clears the highlight.
  int other = OpenWindow(kNewNumber, 500, 40, 100, 100, "other");
  SetActiveWindow(other);
  EXPECT_TRUE(QTest::qWaitForWindowActive(WindowWidget(other)));
  WindowEvent();
  HandleFakeMenu(kEventNone);
  EXPECT_EQ(detail::FakeMenuHovered(m_window), -1);
}

TEST_F(FakeMenuTest, AClickOpensThePopupBelowItsTitle) {
  MouseAt(m_edit, 10, 10);
  HandleFakeMenu(kEventLeftClick);
  EXPECT_EQ(LastShownPopupMenu(), m_editMenu);
  TriggerMenuItem(m_editMenu, 2);
  // On the edge the two titles share only the first opens.
  MouseAt(m_file, 60, 10);
  HandleFakeMenu(kEventLeftClick);
  EXPECT_EQ(LastShownPopupMenu(), m_fileMenu);
  TriggerMenuItem(m_fileMenu, 1);
  FreeMenu(m_fileMenu);  // forgets the popup shown last
  MouseAt(m_file, 10, 200);
  HandleFakeMenu(kEventLeftClick);
  EXPECT_EQ(LastShownPopupMenu(), -1);
}

}  // namespace
