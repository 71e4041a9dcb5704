// Images through the codecs, list columns, popup menus and the scripted services.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerObjects : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(LayerObjects, ImagesSurviveTheCodecsWithTheirColours) {
  int image = CreateImage(kNewNumber, 7, 5, Rgba(10, 20, 30, 255));
  SetImagePixel(image, 3, 2, Rgba(200, 100, 50, 128));
  std::string dir = ::testing::TempDir();

  struct Case {
    int format;
    const char* file;
    bool exact;
  } cases[] = {{kImagePng, "codec.png", true}, {kImageJpeg, "codec.jpg", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = dir + c.file;
    ASSERT_TRUE(SaveImage(image, path, c.format, 100));
    std::string bytes = ReadAll(path);
    int back = CatchImage(kNewNumber, bytes.data(), bytes.size());
    ASSERT_NE(back, 0);
    EXPECT_EQ(ImageWidth(back), 7);
    EXPECT_EQ(ImageHeight(back), 5);
    uint32_t corner = ImagePixel(back, 0, 0);
    if (c.exact) {
      EXPECT_EQ(corner, Rgba(10, 20, 30, 255));
      EXPECT_EQ(ImagePixel(back, 3, 2), Rgba(200, 100, 50, 128));
    } else {
      EXPECT_NEAR(int(corner & 0xFF), 10, 6);
      EXPECT_NEAR(int((corner >> 16) & 0xFF), 30, 6);
    }
    // Cut short, the same bytes are no image at all.
    EXPECT_EQ(CatchImage(kNewNumber, bytes.data(), bytes.size() / 2), 0);
  }
  EXPECT_EQ(CatchImage(kNewNumber, "GIF89a", 6), 0);
  EXPECT_TRUE(SaveImage(image, dir + "codec.bmp", kImageBmp));
  EXPECT_EQ(ReadAll(dir + "codec.bmp").substr(0, 2), "BM");
  EXPECT_FALSE(SaveImage(image, dir + "no/such/folder/x.png"));
  for (const char* file : {"codec.png", "codec.jpg", "codec.bmp"})
    std::remove((dir + file).c_str());
}

TEST_F(LayerObjects, ColumnsOfWidthZeroAreHiddenAndHitTestsFollowTheScroll) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "columns");
  int list = ListIconGadget(kNewNumber, 0, 0, 150, 150, "hidden", 0);
  AddGadgetColumn(list, 1, "B", 150);
  AddGadgetColumn(list, 2, "C", 150);
  AddGadgetItem(list, -1, "h\nb0\nc0");
  AddGadgetItem(list, -1, "h\nb1\nc1");
  QApplication::processEvents();
  EXPECT_EQ(GetGadgetColumnWidth(list, 0), 0);
  auto* tree = static_cast<QTreeWidget*>(GadgetWidget(list));
  EXPECT_TRUE(tree->header()->isSectionHidden(0));

  QRect second = tree->visualItemRect(tree->topLevelItem(1));
  QPoint inGadget = tree->viewport()->mapTo(tree, second.center());
  EXPECT_EQ(ListIconRowAt(list, 10, inGadget.y()), 1);
  int x = tree->viewport()->mapTo(tree, QPoint(60, 0)).x();
  EXPECT_EQ(ListIconColumnAt(list, x), 1);
  ASSERT_GE(tree->horizontalScrollBar()->maximum(), 100);
  tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->maximum());
  EXPECT_EQ(ListIconColumnAt(list, x), 2);

  SetGadgetColumnWidth(list, 0, 40);
  EXPECT_EQ(GetGadgetColumnWidth(list, 0), 40);
}

TEST_F(LayerObjects, PopupMenuItemsSendMenuEventsToTheWindowTheyWereShownFor) {
  int window = OpenWindow(kNewNumber, 0, 0, 200, 100, "menus");
  QApplication::processEvents();
  FlushEvents();
  int menu = CreatePopupMenu(kNewNumber);
  MenuItem(10, "Expand");
  MenuBar();
  OpenSubMenu("More");
  MenuItem(20, "Deep");
  CloseSubMenu();
  MenuItem(11, "Off");
  DisableMenuItem(menu, 11, true);
  SetMenuItemState(menu, 10, true);
  DisplayPopupMenu(menu, window, 10, 10);
  EXPECT_EQ(LastShownPopupMenu(), menu);
  EXPECT_TRUE(GetMenuItemState(menu, 10));
  EXPECT_EQ(MenuItemTexts(menu),
            (std::vector<std::string>{"10:Expand", "-", ">More", "  20:Deep", "11:Off"}));

  EXPECT_FALSE(TriggerMenuItem(menu, 11));
  ASSERT_TRUE(TriggerMenuItem(menu, 20));
  ASSERT_EQ(WindowEvent(), kEventMenu);
  EXPECT_EQ(EventMenu(), 20);
  EXPECT_EQ(EventWindow(), window);
  FreeMenu(menu);
  EXPECT_FALSE(IsMenu(menu));
}

TEST_F(LayerObjects, ScriptedAnswersStandInForDialogs) {
  ScriptMessageAnswer(kResultNo);
  ScriptFileAnswer("/tmp/session.lv");
  EXPECT_EQ(MessageRequester("LumiVEX", "Save?", kMessageYesNoCancel), kResultNo);
  EXPECT_EQ(SaveFileRequester("Save session to ...", "default.lv", "Session (*.lv)|*.lv"),
            "/tmp/session.lv");
  ASSERT_EQ(ShownMessages().size(), 2u);
  EXPECT_EQ(ShownMessages()[0].text, "Save?");
}

TEST_F(LayerObjects, WindowsGadgetsAndTheirNumbers) {
  int owner = OpenWindow(kNewNumber, 10, 20, 300, 200, "owner");
  int owned = OpenWindow(kNewNumber, 0, 0, 100, 50, "owned", kWindowCloseBox, owner);
  EXPECT_EQ(WindowOwner(owned), owner);
  EXPECT_EQ(FindWindowByTitle("owned"), owned);
  UseGadgetList(owner);
  int bar = ProgressBarGadget(kNewNumber, 0, 0, 100, 10, 0, int64_t(1) << 40);
  SetGadgetState(bar, int64_t(1) << 39);
  EXPECT_NEAR(double(GetGadgetState(bar)), double(int64_t(1) << 39), double(int64_t(1) << 27));
  SetGadgetName(bar, "progress");
  EXPECT_EQ(FindGadgetByName(owner, "progress"), bar);
  EXPECT_EQ(OpenWindow(7, 0, 0, 50, 50, "static"), 7);

  CloseWindow(owner);
  EXPECT_FALSE(IsWindow(owner));
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_FALSE(IsGadget(bar));
  EXPECT_TRUE(IsWindow(7));
}

}  // namespace
