// Gadgets, menus and bars changed after they were made, and what dialogs tell afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerUpdates : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearScriptedAnswers();
    ResetLayer();
  }
};

QColor IconColour(int gadget) {
  auto* button = static_cast<QToolButton*>(GadgetWidget(gadget));
  QImage shown = button->icon().pixmap(8, 8).toImage();
  return shown.isNull() ? QColor() : shown.pixelColor(4, 4);
}

TEST_F(LayerUpdates, PicturesChangeOnImageGadgetsAndButtons) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "pictures");
  const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);
  int redImage = CreateImage(kNewNumber, 8, 8, Rgba(255, 0, 0, 255));
  int greenImage = CreateImage(kNewNumber, 8, 8, Rgba(0, 255, 0, 255));
  int blueImage = CreateImage(kNewNumber, 8, 8, Rgba(0, 0, 255, 255));

  int picture = ImageGadget(kNewNumber, 0, 0, 8, 8, redImage);
  SetGadgetImage(picture, greenImage);
  auto* label = static_cast<QLabel*>(GadgetWidget(picture));
  EXPECT_EQ(label->pixmap().toImage().pixelColor(2, 2), green);
  SetGadgetImage(picture, 0);
  EXPECT_TRUE(label->pixmap().isNull());

  int toggle = ButtonImageGadget(kNewNumber, 20, 0, 30, 30, redImage, kButtonToggle);
  SetButtonPressedImage(toggle, blueImage);
  SetGadgetImage(toggle, greenImage);
  EXPECT_EQ(IconColour(toggle), green);
  QTest::mouseClick(GadgetWidget(toggle), Qt::LeftButton);
  EXPECT_EQ(IconColour(toggle), blue);
  // Changed while pressed: the pressed picture stays until the button comes up again.
  SetGadgetImage(toggle, redImage);
  EXPECT_EQ(IconColour(toggle), blue);
  SetButtonPressedImage(toggle, greenImage);
  EXPECT_EQ(IconColour(toggle), green);
  QTest::mouseClick(GadgetWidget(toggle), Qt::LeftButton);
  EXPECT_EQ(IconColour(toggle), red);
}

TEST_F(LayerUpdates, RangesChangeSilentlyAndKeepTheValueInside) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "ranges");
  int spin = SpinGadget(kNewNumber, 0, 0, 80, 24, 0, 100);
  int track = TrackBarGadget(kNewNumber, 0, 30, 200, 24, 0, 100);
  for (int gadget : {spin, track}) SetGadgetState(gadget, 80);
  QApplication::processEvents();
  FlushEvents();

  for (int gadget : {spin, track}) {
    SetGadgetRange(gadget, 10, 50);
    EXPECT_EQ(GetGadgetState(gadget), 50);
    SetGadgetRange(gadget, 60, 400);
    EXPECT_EQ(GetGadgetState(gadget), 60);
    SetGadgetState(gadget, 300);
    EXPECT_EQ(GetGadgetState(gadget), 300);
  }
  QApplication::processEvents();
  EXPECT_EQ(WindowEvent(), kEventNone);
  auto* slider = static_cast<QSlider*>(GadgetWidget(track));
  EXPECT_EQ(slider->minimum(), 60);
  EXPECT_EQ(slider->maximum(), 400);
}

TEST_F(LayerUpdates, MenuItemTextsChangeInPopupsAndBars) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "menus");
  int popup = CreatePopupMenu(kNewNumber);
  MenuItem(1, "Show details");
  MenuItem(2, "Copy");
  int bar = CreateMenuBar(kNewNumber, window);
  MenuTitle("View");
  MenuItem(7, "Zoom: 100%");

  SetMenuItemText(popup, 1, "Hide details");
  SetMenuItemText(popup, 99, "nothing there");
  SetMenuItemText(bar, 7, "Zoom: 40%");
  EXPECT_EQ(MenuItemTexts(popup), (std::vector<std::string>{"1:Hide details", "2:Copy"}));
  auto* menuBar = WindowWidget(window)->findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  EXPECT_EQ(menuBar->actions()[0]->menu()->actions()[0]->text(), "Zoom: 40%");
  // The renamed item still sends its own id.
  QApplication::processEvents();
  FlushEvents();
  EXPECT_TRUE(TriggerMenuItem(bar, 7));
  ASSERT_EQ(WindowEvent(), kEventMenu);
  EXPECT_EQ(EventMenu(), 7);
}

}  // namespace
