// What a canvas tells its handler beyond the position, and the scroll area it sits in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerCanvas : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

struct Seen {
  int subtype, data, x, y, modifiers, buttons;
};

std::vector<Seen> Drain(int gadget) {
  std::vector<Seen> seen;
  QApplication::processEvents();
  while (int type = WindowEvent())
    if (type == kEventGadget && EventGadget() == gadget)
      seen.push_back({EventSubtype(), EventData(), EventMouseX(), EventMouseY(), EventModifiers(),
                      EventButtons()});
  return seen;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held, Qt::KeyboardModifiers keys) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, keys);
  QApplication::sendEvent(widget, &event);
}

void SendWheel(QWidget* widget, QPoint at, QPoint delta, Qt::MouseButtons held,
               Qt::KeyboardModifiers keys) {
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), delta, held, keys, Qt::NoScrollPhase,
                    false);
  QApplication::sendEvent(widget, &event);
}

TEST_F(LayerCanvas, AShiftDragCarriesItsKeyAndButtonWithEveryEvent) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "drag");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 200, 150);
  QWidget* widget = GadgetWidget(canvas);
  Drain(canvas);

  SendMouse(widget, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton,
            Qt::ShiftModifier);
  SendMouse(widget, QEvent::MouseMove, {40, 30}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  // Shift let go before the button: the release no longer holds either.
  SendMouse(widget, QEvent::MouseMove, {50, 35}, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  SendMouse(widget, QEvent::MouseButtonRelease, {50, 35}, Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
  SendMouse(widget, QEvent::MouseButtonPress, {5, 5}, Qt::MiddleButton,
            Qt::MiddleButton | Qt::RightButton, Qt::ControlModifier | Qt::AltModifier);
  auto seen = Drain(canvas);

  struct Expected {
    int subtype, x, modifiers, buttons;
  } expected[] = {
      {kSubLeftButtonDown, 10, kModifierShift, kMouseLeft},
      {kSubMouseMove, 40, kModifierShift, kMouseLeft},
      {kSubMouseMove, 50, 0, kMouseLeft},
      {kSubLeftButtonUp, 50, 0, 0},
      {kSubLeftClick, 50, 0, 0},
      {kSubMiddleButtonDown, 5, kModifierCtrl | kModifierAlt, kMouseMiddle | kMouseRight},
  };
  ASSERT_EQ(seen.size(), std::size(expected));
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].subtype, expected[i].subtype);
    EXPECT_EQ(seen[i].x, expected[i].x);
    EXPECT_EQ(seen[i].modifiers, expected[i].modifiers);
    EXPECT_EQ(seen[i].buttons, expected[i].buttons);
  }
}

TEST_F(LayerCanvas, WheelAndKeysCarryTheirModifiers) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "wheel");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 200, 150, kCanvasKeyboard);
  QWidget* widget = GadgetWidget(canvas);
  SetActiveWindow(window);
  Drain(canvas);

  struct Case {
    QPoint delta;
    Qt::MouseButtons held;
    Qt::KeyboardModifiers keys;
    int notches, modifiers, buttons;
  } cases[] = {
      {{0, 240}, Qt::NoButton, Qt::ControlModifier, 2, kModifierCtrl, 0},
      {{0, -120}, Qt::RightButton, Qt::ShiftModifier, -1, kModifierShift, kMouseRight},
      // Alt may arrive as a sideways wheel; it is still the wheel the user turned.
      {{120, 0}, Qt::NoButton, Qt::AltModifier, 1, kModifierAlt, 0},
      {{0, 120}, Qt::NoButton, Qt::NoModifier, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SendWheel(widget, {12, 13}, c.delta, c.held, c.keys);
    auto seen = Drain(canvas);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].subtype, kSubMouseWheel);
    EXPECT_EQ(seen[0].data, c.notches);
    EXPECT_EQ(seen[0].modifiers, c.modifiers);
    EXPECT_EQ(seen[0].buttons, c.buttons);
  }

  // A fine wheel's parts of a notch add up to whole notches, in either direction.
  struct Fine {
    int delta;
    size_t events;
  } fine[] = {{40, 0}, {40, 0}, {40, 1}, {-100, 0}, {-30, 1}};
  for (const auto& f : fine) {
    SendWheel(widget, {12, 13}, {0, f.delta}, Qt::NoButton, Qt::NoModifier);
    auto seen = Drain(canvas);
    ASSERT_EQ(seen.size(), f.events) << f.delta;
    if (f.events) {
      EXPECT_EQ(seen[0].data, f.delta > 0 ? 1 : -1);
    }
  }

  widget->setFocus();
  Drain(canvas);
  QTest::keyClick(widget, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
  auto keys = Drain(canvas);
  auto left = std::find_if(keys.begin(), keys.end(), [](const Seen& s) {
    return s.subtype == kSubKeyDown && s.data == int(Qt::Key_Left);
  });
  ASSERT_NE(left, keys.end());
  EXPECT_EQ(left->modifiers, kModifierShift | kModifierCtrl);
}

TEST_F(LayerCanvas, ABorderedCanvasDrawsItsFrameAroundASmallerBuffer) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "border");
  int framed = CanvasGadget(kNewNumber, 0, 0, 50, 40, kCanvasBorder);
  int plain = CanvasGadget(kNewNumber, 100, 0, 50, 40);
  QApplication::processEvents();
  EXPECT_EQ(CanvasBuffer(framed)->size(), QSize(48, 38));
  EXPECT_EQ(CanvasBuffer(plain)->size(), QSize(50, 40));

  QImage shown = GadgetWidget(framed)->grab().toImage();
  const QColor white(255, 255, 255);
  for (QPoint edge : {QPoint(0, 0), QPoint(25, 0), QPoint(49, 20), QPoint(25, 39)})
    EXPECT_NE(shown.pixelColor(edge), white) << edge.x() << "," << edge.y();
  EXPECT_EQ(shown.pixelColor(1, 1), white);
  EXPECT_EQ(GadgetWidget(plain)->grab().toImage().pixelColor(0, 0), white);

  // Positions are the buffer's, so a drawing handler needs no offset.
  SendMouse(GadgetWidget(framed), QEvent::MouseButtonPress, {11, 21}, Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
  auto seen = Drain(framed);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].x, 10);
  EXPECT_EQ(seen[0].y, 20);

  ResizeGadget(framed, kKeepValue, kKeepValue, 80, 60);
  QApplication::processEvents();
  EXPECT_EQ(CanvasBuffer(framed)->size(), QSize(78, 58));
}

TEST_F(LayerCanvas, AScrollAreaScrollsOverItsNewInnerSize) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "view");
  int area = ScrollAreaGadget(kNewNumber, 0, 0, 200, 150, 100, 100);
  int canvas = CanvasGadget(kNewNumber, 0, 0, 100, 100);
  CloseGadgetList();
  QApplication::processEvents();
  auto* scroll = static_cast<QScrollArea*>(GadgetWidget(area));
  SetScrollAreaPosition(area, 50, 50);
  EXPECT_EQ(GetScrollAreaX(area), 0);
  EXPECT_EQ(GetScrollAreaY(area), 0);

  // Zoomed in: the canvas and the inner area grow together and the whole of it is reachable.
  ResizeGadget(canvas, kKeepValue, kKeepValue, 1000, 800);
  SetScrollAreaInnerSize(area, 1000, 800);
  QApplication::processEvents();
  QSize view = scroll->viewport()->size();
  EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 1000 - view.width());
  EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 800 - view.height());
  SetScrollAreaPosition(area, 5000, 300);
  EXPECT_EQ(GetScrollAreaX(area), 1000 - view.width());
  EXPECT_EQ(GetScrollAreaY(area), 300);
  SetScrollAreaPosition(area, 20, kKeepValue);
  EXPECT_EQ(GetScrollAreaX(area), 20);
  EXPECT_EQ(GetScrollAreaY(area), 300);
  EXPECT_EQ(GadgetX(canvas) - GadgetX(area), -20 + scroll->viewport()->x());

  // Zoomed out again, the position falls back into the smaller range.
  SetScrollAreaPosition(area, 700, kKeepValue);
  SetScrollAreaInnerSize(area, 300, 100);
  QApplication::processEvents();
  EXPECT_EQ(GetScrollAreaX(area), 300 - scroll->viewport()->width());
  EXPECT_EQ(GetScrollAreaY(area), 0);
  EXPECT_EQ(GetScrollAreaX(canvas), 0);  // not a scroll area
}

TEST_F(LayerCanvas, CursorsIncludeTheFourResizeArrows) {
  OpenWindow(kNewNumber, 0, 0, 100, 100, "cursors");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 50, 50);
  const std::pair<int, Qt::CursorShape> cases[] = {
      {kCursorSizeWE, Qt::SizeHorCursor},     {kCursorSizeNS, Qt::SizeVerCursor},
      {kCursorSizeNWSE, Qt::SizeFDiagCursor}, {kCursorSizeNESW, Qt::SizeBDiagCursor},
      {kCursorHand, Qt::PointingHandCursor},  {kCursorCross, Qt::CrossCursor},
      {kCursorSizeNESW + 1, Qt::ArrowCursor}, {-1, Qt::ArrowCursor},
  };
  for (auto [shape, expected] : cases) {
    SetGadgetCursor(canvas, shape);
    EXPECT_EQ(GadgetWidget(canvas)->cursor().shape(), expected) << shape;
  }
}

}  // namespace
