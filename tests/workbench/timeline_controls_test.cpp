// Frames mode driven as the analyst drives it: keys, menu items, the play button's timer on a
// stepped clock and the strip under the mouse, on the sample after a real Refresh.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <string>

#include "graphview/dot_attributes.h"
#include "graphview/graph_model.h"
#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/timeline_controls.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

TEST(TimelineArithmetic, SpeedEntriesGiveTheirPeriods) {
  const struct {
    int64_t entry;
    int ms;
  } kCases[] = {{0, 1000}, {2, 333}, {9, 100}, {99, 10}, {-1, 100}};
  for (const auto& c : kCases) EXPECT_EQ(detail::AnimationPeriodMs(c.entry), c.ms) << c.entry;
}

TEST(TimelineArithmetic, StripColumnsMapToFrames) {
  const struct {
    int64_t x, width, frames, frame;
  } kCases[] = {
      {0, 800, 8, 0},
      {99, 800, 8, 0},
      {100, 800, 8, 1},
      {199, 800, 8, 1},
      {799, 800, 8, 7},
      {800, 800, 8, -1},
      {-150, 800, 8, -1},
      // Nothing to pick: no visible frames, or a strip without width.
      {0, 800, 0, -1},
      {0, 0, 8, -1},
      {5, -3, 8, -1},
      // More frames than pixels: a pixel picks the frame whose column starts there.
      {1, 3, 7, 2},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(detail::StripFrameAt(c.x, c.width, c.frames), c.frame)
        << c.x << " on " << c.width << " px, " << c.frames << " frames";
  }
}

int64_t gNow = 0;

class FramesModeTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
    platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
    platform::PostEvent(platform::kEventGadget, Window_Main, Button_Main_Refresh);
    Settle();
    ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
    // From here on time moves only when the test says so, and the timers follow it.
    gNow = 0;
    platform::SetClock([] { return gNow; });
    platform::SetTimersOnClock(true);
    platform::SetActiveWindow(Window_Main);
    QApplication::processEvents();
    platform::GadgetWidget(Button_Main_Refresh)->setFocus();
    m_revision = State().graph.revision;
  }
  void TearDown() override {
    // A key never reached the Refresh button it had the focus of.
    EXPECT_EQ(State().graph.revision, m_revision);
    WorkbenchTest::TearDown();
  }
  static void Key(Qt::Key key) {
    QTest::keyClick(platform::GadgetWidget(Button_Main_Refresh), key);
    Settle();
  }
  static void Menu(int item) {
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, item);
    Settle();
  }
  static void Advance(int64_t ms) {
    gNow += ms;
    Settle();
  }
  static int64_t Frame() { return State().graph.view.currentFrame; }
  static bool Playing() { return State().interaction.animationPlaying; }
  static bool FramesMode() { return platform::GetGadgetState(Button_Main_AnimationShow) != 0; }
  static int64_t Builds() { return State().renderer->GraphBuilds(); }
  // The frame fields show frame k of the visible ones.
  static void ExpectFields(int64_t k) {
    const graphview::GraphModel& g = State().graph;
    const int64_t visible = graphview::CountVisibleFrames(g);
    EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameNumber),
              std::to_string(k) + "/" + std::to_string(visible - 1));
    int64_t i = 0;
    for (const graphview::TimelineFrame& f : g.Frames) {
      if (f.level > g.TimelineMode || i++ != k) continue;
      EXPECT_EQ(platform::GetGadgetText(String_Main_FrameMessage), f.message);
      EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameTimestamp),
                graphview::FormatFrameTime(f, false));
      EXPECT_NE(platform::GetGadgetText(Text_Main_FrameTimestamp), "N/A");
    }
  }
  uint64_t m_revision = 0;
};

// The sample holds 16 events: two repeat the event directly before them (the second write of
// the dropped file, the send right after the connect) and one repeats an earlier event (the
// disconnect after the receive).
TEST_F(FramesModeTest, TheTimelineModesCountTheirFrames) {
  ASSERT_EQ(State().graph.Frames.size(), 16u);
  const struct {
    const char* how;
    int event, item;
    int8_t mode;
    int shown;
    const char* frames;
  } kSteps[] = {
      {"Unique events", platform::kEventMenu, MenuItem_FramesUnique, 1,
       Button_Main_AnimationFramesUnique, "0/12"},
      {"All events (RLE)", platform::kEventMenu, MenuItem_FramesAllRle, 2,
       Button_Main_AnimationFramesAllRle, "0/13"},
      {"the RLE button", platform::kEventGadget, Button_Main_AnimationFramesAllRle, 1,
       Button_Main_AnimationFramesUnique, "0/12"},
      {"the Unique button", platform::kEventGadget, Button_Main_AnimationFramesUnique, 3,
       Button_Main_AnimationFramesAll, "0/15"},
      {"All events, already chosen", platform::kEventMenu, MenuItem_FramesAll, 3,
       Button_Main_AnimationFramesAll, "0/15"},
      {"the All button", platform::kEventGadget, Button_Main_AnimationFramesAll, 2,
       Button_Main_AnimationFramesAllRle, "0/13"},
  };
  const int kButtons[] = {Button_Main_AnimationFramesAll, Button_Main_AnimationFramesAllRle,
                          Button_Main_AnimationFramesUnique};
  const int kItems[] = {MenuItem_FramesAll, MenuItem_FramesAllRle, MenuItem_FramesUnique};
  Key(Qt::Key_End);
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.how);
    ASSERT_NE(Frame(), 0);
    if (step.event == platform::kEventMenu) {
      Menu(step.item);
    } else {
      platform::PostEvent(platform::kEventGadget, Window_Main, step.item);
      Settle();
    }
    EXPECT_EQ(State().graph.TimelineMode, step.mode);
    EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameNumber), step.frames);
    EXPECT_EQ(Frame(), 0);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(platform::IsGadgetHidden(kButtons[i]), kButtons[i] != step.shown) << i;
      EXPECT_EQ(platform::GetMenuItemState(Menu_View, kItems[i]), 3 - i == step.mode) << i;
    }
    Key(Qt::Key_End);
  }
}

TEST_F(FramesModeTest, KeysSwitchFramesModeAndStepThroughTheFrames) {
  Key(Qt::Key_Return);
  ASSERT_TRUE(FramesMode());
  for (int g : {Button_Main_AnimationPlay, Button_Main_AnimationStop, Combo_Main_AnimationFPS}) {
    EXPECT_TRUE(platform::IsGadgetEnabled(g)) << g;
  }
  ExpectFields(0);
  // Steps draw over the kept picture of the graph; it is never drawn again for them.
  const int64_t builds = Builds();
  const struct {
    Qt::Key key;
    int64_t frame;
  } kSteps[] = {{Qt::Key_End, 15}, {Qt::Key_Right, 15}, {Qt::Key_Left, 14}, {Qt::Key_Home, 0},
                {Qt::Key_Left, 0}, {Qt::Key_Right, 1},  {Qt::Key_Right, 2}};
  for (const auto& step : kSteps) {
    Key(step.key);
    EXPECT_EQ(Frame(), step.frame) << QKeySequence(step.key).toString().toStdString();
    ExpectFields(step.frame);
  }
  EXPECT_EQ(Builds(), builds);

  // Back in normal mode the frame is kept, the stepping still works and Space does nothing.
  Key(Qt::Key_Return);
  EXPECT_FALSE(FramesMode());
  for (int g : {Button_Main_AnimationPlay, Button_Main_AnimationStop, Combo_Main_AnimationFPS}) {
    EXPECT_FALSE(platform::IsGadgetEnabled(g)) << g;
  }
  EXPECT_EQ(Frame(), 2);
  Key(Qt::Key_Right);
  ExpectFields(3);
  Key(Qt::Key_Space);
  Advance(5000);
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Frame(), 3);
}

TEST_F(FramesModeTest, SpacePlaysAtTheChosenSpeedAndStopsOnTheLastFrame) {
  Key(Qt::Key_Return);
  platform::SetGadgetState(Combo_Main_AnimationFPS, 3);  // 4 fps
  Key(Qt::Key_Space);
  ASSERT_TRUE(Playing());
  const int64_t builds = Builds();
  Advance(249);
  EXPECT_EQ(Frame(), 0);
  Advance(1);
  EXPECT_EQ(Frame(), 1);
  ExpectFields(1);
  // A new speed counts from the next step on.
  platform::SetGadgetState(Combo_Main_AnimationFPS, 99);  // 100 fps
  Advance(249);
  EXPECT_EQ(Frame(), 1);
  Advance(1);
  EXPECT_EQ(Frame(), 2);
  Advance(10);
  EXPECT_EQ(Frame(), 3);
  // Space again stops; Space once more goes on from there.
  Key(Qt::Key_Space);
  EXPECT_FALSE(Playing());
  Advance(1000);
  EXPECT_EQ(Frame(), 3);
  Key(Qt::Key_Space);
  for (int step = 0; step < 30 && Playing(); ++step) Advance(10);
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Frame(), 15);
  ExpectFields(15);
  Advance(1000);
  EXPECT_EQ(Frame(), 15);
  EXPECT_EQ(Builds(), builds);

  // Play on the last frame: the first step finds no next frame and ends the animation.
  Key(Qt::Key_Space);
  EXPECT_TRUE(Playing());
  Advance(10);
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Frame(), 15);

  // A mode change while playing goes on from the first of the new visible frames.
  Key(Qt::Key_Home);
  Key(Qt::Key_Space);
  Advance(10);
  Advance(10);
  ASSERT_EQ(Frame(), 2);
  Menu(MenuItem_FramesUnique);
  EXPECT_TRUE(Playing());
  EXPECT_EQ(Frame(), 0);
  Advance(10);
  EXPECT_EQ(Frame(), 1);
  ExpectFields(1);
  // Stepping by hand, the stop button and leaving frames mode each end the animation.
  for (auto stop : {+[] { Key(Qt::Key_Right); },
                    +[] {
                      platform::PostEvent(platform::kEventGadget, Window_Main,
                                          Button_Main_AnimationStop);
                      Settle();
                    },
                    +[] { Key(Qt::Key_Return); }}) {
    if (!FramesMode()) Key(Qt::Key_Return);
    if (!Playing()) Key(Qt::Key_Space);
    ASSERT_TRUE(Playing());
    stop();
    EXPECT_FALSE(Playing());
    const int64_t at = Frame();
    Advance(1000);
    EXPECT_EQ(Frame(), at);
  }
}

TEST_F(FramesModeTest, PressingAndDraggingOnTheStripPicksFrames) {
  Key(Qt::Key_Return);
  QWidget* strip = platform::GadgetWidget(Canvas_Main_AnimationFrames);
  // The strip as wide as a pick of 50 pixels per frame.
  platform::ResizeGadget(Canvas_Main_AnimationFrames, platform::kKeepValue, platform::kKeepValue,
                         800, platform::kKeepValue);
  ASSERT_EQ(platform::GadgetWidth(Canvas_Main_AnimationFrames), 800);
  const int y = strip->height() / 2;
  QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(120, y));
  Settle();
  EXPECT_EQ(Frame(), 2);
  ExpectFields(2);
  const struct {
    int x;
    int64_t frame;
  } kDrag[] = {{149, 2}, {150, 3}, {799, 15}, {0, 0}, {49, 0}, {50, 1}};
  for (const auto& step : kDrag) {
    QTest::mouseMove(strip, QPoint(step.x, y));
    Settle();
    EXPECT_EQ(Frame(), step.frame) << step.x;
  }
  QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(50, y));
  Settle();
  // Without the left button held the pointer picks nothing.
  QTest::mouseMove(strip, QPoint(700, y));
  QTest::mousePress(strip, Qt::RightButton, {}, QPoint(700, y));
  QTest::mouseRelease(strip, Qt::RightButton, {}, QPoint(700, y));
  Settle();
  EXPECT_EQ(Frame(), 1);
  // Two quick clicks a few pixels apart reach the strip as a click and a double click (the
  // toolkit sends the second press as the double click); the second picks its frame too.
  ASSERT_EQ(platform::GadgetWidth(Canvas_Main_AnimationFrames), 800);
  QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(348, y));
  Settle();
  EXPECT_EQ(Frame(), 6);
  const QPointF second(352, y);
  QMouseEvent doubleClick(QEvent::MouseButtonDblClick, second, strip->mapToGlobal(second),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(strip, &doubleClick);
  QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(352, y));
  Settle();
  EXPECT_EQ(Frame(), 7);

  // The strip picks among the visible frames only and leaves a running animation running (the
  // strip has its laid-out width again once the mode button changed).
  Menu(MenuItem_FramesUnique);
  Key(Qt::Key_Space);
  QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 1, y));
  Settle();
  EXPECT_EQ(Frame(), 12);
  EXPECT_TRUE(Playing());
}

// Before any graph there are no frames: Last sets the frame to -1, next and previous leave it
// there, and First sets it back to 0.
class EmptyTimelineTest : public WorkbenchTest {};

TEST_F(EmptyTimelineTest, LastAndFirstOnAnEmptyTimeline) {
  StartQuietly();
  const struct {
    int button;
    int64_t frame;
  } kSteps[] = {{Button_Main_AnimationLast, -1},
                {Button_Main_AnimationNext, -1},
                {Button_Main_AnimationPrevious, -1},
                {Button_Main_AnimationFirst, 0},
                {Button_Main_AnimationNext, 0}};
  for (const auto& step : kSteps) {
    platform::PostEvent(platform::kEventGadget, Window_Main, step.button);
    MainLoopTurn();
    EXPECT_EQ(State().graph.view.currentFrame, step.frame) << step.button;
  }
}

}  // namespace
