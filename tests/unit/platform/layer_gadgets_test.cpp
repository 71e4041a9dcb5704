// Trees, canvases, tool bars and status bars as a user meets them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerGadgets : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

struct Seen {
  int type, window, gadget, subtype, data, x, y;
};

std::vector<Seen> Drain() {
  std::vector<Seen> seen;
  QApplication::processEvents();
  while (int type = WindowEvent())
    seen.push_back({type, EventWindow(), EventGadget(), EventSubtype(), EventData(), EventMouseX(),
                    EventMouseY()});
  return seen;
}

std::vector<int> SubtypesOf(const std::vector<Seen>& events, int gadget) {
  std::vector<int> subtypes;
  for (const auto& e : events)
    if (e.type == kEventGadget && e.gadget == gadget) subtypes.push_back(e.subtype);
  return subtypes;
}

bool Has(const std::vector<int>& subtypes, int subtype) {
  return std::find(subtypes.begin(), subtypes.end(), subtype) != subtypes.end();
}

TEST_F(LayerGadgets, TreeItemsHangByLevelAndAreNumberedInDisplayOrder) {
  OpenWindow(kNewNumber, 0, 0, 300, 300, "tree");
  int tree = TreeGadget(kNewNumber, 5, 5, 280, 280);
  // A jump from level 0 to 2 hangs under the last item, as one level deeper.
  const std::pair<const char*, int> items[] = {{"root", 0},   {"child", 1}, {"grandchild", 2},
                                               {"second", 1}, {"top", 0},   {"deep", 2}};
  for (auto [text, level] : items) AddGadgetItem(tree, -1, text, 0, level);
  ASSERT_EQ(CountGadgetItems(tree), 6);
  auto* widget = static_cast<QTreeWidget*>(GadgetWidget(tree));
  auto parentOf = [&](int item) {
    int index = 0;
    for (QTreeWidgetItemIterator it(widget); *it; ++it, ++index)
      if (index == item) return (*it)->parent() ? (*it)->parent()->text(0).toStdString() : "";
    return std::string("?");
  };
  EXPECT_EQ(parentOf(1), "root");
  EXPECT_EQ(parentOf(2), "child");
  EXPECT_EQ(parentOf(3), "root");
  EXPECT_EQ(parentOf(4), "");
  EXPECT_EQ(parentOf(5), "top");
  EXPECT_EQ(GetGadgetItemText(tree, 2), "grandchild");

  // The state is the display number of the selected item, children included.
  SetGadgetItemState(tree, 0, kItemExpanded);
  SetGadgetItemState(tree, 1, kItemExpanded);
  SetGadgetState(tree, 2);
  EXPECT_EQ(GetGadgetState(tree), 2);
  EXPECT_EQ(GetGadgetItemState(tree, 2) & kItemSelected, kItemSelected);
  EXPECT_EQ(GetGadgetItemState(tree, 0), kItemExpanded);
  SetGadgetItemData(tree, 5, 77);
  EXPECT_EQ(GetGadgetItemData(tree, 5), 77);
  EXPECT_TRUE(SubtypesOf(Drain(), tree).empty());  // nothing the user did

  // A user's click on a child reports its change and the click.
  QRect row = widget->visualItemRect(widget->topLevelItem(0)->child(1));
  QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, row.center());
  auto subtypes = SubtypesOf(Drain(), tree);
  EXPECT_TRUE(Has(subtypes, kSubChange));
  EXPECT_TRUE(Has(subtypes, kSubLeftClick));
  EXPECT_EQ(GetGadgetState(tree), 3);

  RemoveGadgetItem(tree, 0);  // the root takes its children along
  EXPECT_EQ(CountGadgetItems(tree), 2);
  SetGadgetState(tree, -1);
  EXPECT_EQ(GetGadgetState(tree), -1);
}

TEST_F(LayerGadgets, CanvasesReportMouseWheelAndKeysAtTheirPositions) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "canvas");
  int plain = CanvasGadget(kNewNumber, 0, 0, 100, 100);
  int keyed = CanvasGadget(kNewNumber, 150, 0, 100, 100, kCanvasKeyboard);
  SetActiveWindow(window);
  Drain();
  QWidget* canvas = GadgetWidget(plain);

  QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(10, 20));
  QTest::mouseMove(canvas, QPoint(30, 40));
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseClick(canvas, Qt::RightButton, {}, QPoint(5, 6));
  QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(7, 8));
  auto events = Drain();
  struct Expected {
    int subtype, x, y;
  } expected[] = {{kSubLeftButtonDown, 10, 20}, {kSubMouseMove, 30, 40},
                  {kSubLeftButtonUp, 30, 40},   {kSubLeftClick, 30, 40},
                  {kSubRightButtonDown, 5, 6},  {kSubRightButtonUp, 5, 6},
                  {kSubRightClick, 5, 6},       {kSubLeftDoubleClick, 7, 8}};
  for (const auto& e : expected) {
    auto found = std::find_if(events.begin(), events.end(), [&](const Seen& s) {
      return s.gadget == plain && s.subtype == e.subtype && s.x == e.x && s.y == e.y;
    });
    EXPECT_NE(found, events.end()) << "subtype " << e.subtype;
  }

  // One notch of the wheel is 1, towards the user -1.
  for (int delta : {120, -240}) {
    QWheelEvent wheel(QPointF(12, 13), canvas->mapToGlobal(QPointF(12, 13)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
    auto seen = Drain();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].subtype, kSubMouseWheel);
    EXPECT_EQ(seen[0].data, delta / 120);
    EXPECT_EQ(seen[0].x, 12);
  }

  // Only a canvas made for the keyboard takes the focus and reports keys.
  EXPECT_EQ(canvas->focusPolicy(), Qt::NoFocus);
  QWidget* keys = GadgetWidget(keyed);
  keys->setFocus();
  Drain();
  QTest::keyClick(keys, Qt::Key_A);
  auto typed = Drain();
  ASSERT_EQ(typed.size(), 3u);
  EXPECT_EQ(typed[0].subtype, kSubKeyDown);
  EXPECT_EQ(typed[0].data, int(Qt::Key_A));
  EXPECT_EQ(typed[1].subtype, kSubInput);
  EXPECT_EQ(typed[1].data, int('a'));
  EXPECT_EQ(typed[2].subtype, kSubKeyUp);
}

TEST_F(LayerGadgets, ACanvasBackBufferFollowsTheGadgetAndIsShown) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "buffer");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 40, 30);
  QImage* buffer = CanvasBuffer(canvas);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->size(), QSize(40, 30));
  buffer->setPixelColor(5, 5, QColor(255, 0, 0));
  RefreshCanvas(canvas);
  QApplication::processEvents();
  EXPECT_EQ(GadgetWidget(canvas)->grab().toImage().pixelColor(5, 5), QColor(255, 0, 0));

  // Grown, it keeps what was drawn and the new part is white.
  ResizeGadget(canvas, kKeepValue, kKeepValue, 80, 60);
  QApplication::processEvents();
  buffer = CanvasBuffer(canvas);
  EXPECT_EQ(buffer->size(), QSize(80, 60));
  EXPECT_EQ(buffer->pixelColor(5, 5), QColor(255, 0, 0));
  EXPECT_EQ(buffer->pixelColor(70, 50), QColor(255, 255, 255));
  EXPECT_EQ(CanvasBuffer(TextGadget(kNewNumber, 0, 100, 50, 20, "no canvas")), nullptr);
}

TEST_F(LayerGadgets, ToolAndStatusBarsSendMenuEventsShowTextAndFollowResizes) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "bars", kWindowSizable | kWindowTitleBar);
  int tools = CreateToolBar(kNewNumber, window);
  ToolBarStandardButton(11, kToolOpen);
  ToolBarStandardButton(12, kToolSave);
  ToolBarToolTip(tools, 12, "Save the file");
  int status = CreateStatusBar(kNewNumber, window);
  StatusBarText(status, 0, "Zoom: 100%");
  Drain();

  auto* bar = WindowWidget(window)->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[1]->toolTip(), "Save the file");
  EXPECT_FALSE(bar->actions()[0]->icon().isNull());
  QTest::mouseClick(bar->widgetForAction(bar->actions()[1]), Qt::LeftButton);
  auto events = Drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, kEventMenu);
  EXPECT_EQ(events[0].data, 12);
  EXPECT_EQ(events[0].window, window);

  auto* line = WindowWidget(window)->findChild<QStatusBar*>();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->currentMessage(), "Zoom: 100%");

  for (auto [w, h] : {std::pair{500, 400}, {250, 150}}) {
    ResizeWindow(window, kKeepValue, kKeepValue, w, h);
    QApplication::processEvents();
    EXPECT_EQ(bar->geometry(), QRect(0, 0, w, bar->height()));
    EXPECT_EQ(line->geometry(), QRect(0, h - line->height(), w, line->height()));
  }
  EXPECT_EQ(ToolBarHeight(tools), bar->height());
  EXPECT_EQ(StatusBarHeight(status), line->height());
  EXPECT_EQ(ToolBarHeight(tools + 1000), 0);
}

TEST_F(LayerGadgets, AToolBarStandsBelowTheMenuBar) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "bars", kWindowTitleBar);
  int menu = CreateMenuBar(kNewNumber, window);
  MenuTitle("File");
  int tools = CreateToolBar(kNewNumber, window);
  ToolBarStandardButton(1, kToolCut);
  ToolBarStandardButton(2, kToolPaste);
  Drain();
  auto* bar = WindowWidget(window)->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_GT(MenuBarHeight(menu), 0);
  EXPECT_EQ(bar->y(), MenuBarHeight(menu));
  EXPECT_GT(ToolBarHeight(tools), 0);
  for (QAction* action : bar->actions()) EXPECT_FALSE(action->icon().isNull());
}

}  // namespace
