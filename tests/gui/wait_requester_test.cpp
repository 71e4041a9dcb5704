// The wait window driven by a work loop on a clock the test moves: delay, log, progress,
// Cancel and the folding log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include "gui/wait_requester.h"
#include "platform/window_system.h"

using namespace platform;
using namespace gui;

namespace {

class WaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock([this] { return m_now; });
    m_parent = OpenWindow(kNewNumber, 100, 100, 600, 400, "main");
  }
  void TearDown() override {
    StopWaitRequester();
    detail::ResetWaitRequester();
    ResetLayer();
  }
  int Update(int mode = 1, const std::string& text = "", int64_t progress = 0,
             int64_t progressMax = 0, const std::string& log = kNoLogLine) {
    return UpdateWaitRequester(mode, text, progress, progressMax, log);
  }
  int Height() { return WindowHeight(detail::WaitRequesterParts().window); }
  int64_t m_now = 10'000;
  int m_parent = 0;
};

TEST_F(WaitTest, ShortWorkShowsNothingAndGivesTheParentBack) {
  DisableWindow(m_parent, true);
  StartWaitRequester("Please wait", 1000, m_parent, false);
  for (int i = 0; i < 5; ++i, m_now += 100) EXPECT_EQ(Update(), 1);
  EXPECT_EQ(detail::WaitRequesterParts().window, 0);
  EXPECT_EQ(StopWaitRequester(), "");
  EXPECT_TRUE(IsWindowEnabled(m_parent));
}

TEST_F(WaitTest, HeightsFollowProgressCancelAndLog) {
  struct Case {
    int64_t progressMax;
    bool cancelable;
    int shown, withLog;
  } cases[] = {{0, false, 25, 50}, {3, false, 35, 60}, {0, true, 70, 70}, {3, true, 70, 70}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.progressMax << " " << c.cancelable);
    StartWaitRequester("Please wait", 0, m_parent, c.cancelable);
    Update(1, "", 0, c.progressMax);
    EXPECT_EQ(Height(), c.shown);
    EXPECT_FALSE(IsWindowEnabled(m_parent));
    EXPECT_EQ(detail::WaitRequesterParts().logToggle, 0);
    Update(1, "", 0, c.progressMax, "first line");
    EXPECT_EQ(Height(), c.withLog);
    auto parts = detail::WaitRequesterParts();
    EXPECT_EQ(GetGadgetText(parts.logToggle), "+");
    EXPECT_TRUE(IsGadgetHidden(parts.logEditor));
    EXPECT_EQ(StopWaitRequester(), "first line");
    EXPECT_TRUE(IsWindowEnabled(m_parent));
  }
}

TEST_F(WaitTest, NoBarIsMadeLater) {
  StartWaitRequester("Please wait", 0, kNoParent, false);
  Update(1, "", 0, 0);
  Update(1, "", 1, 3);
  EXPECT_EQ(detail::WaitRequesterParts().progressBar, 0);
  EXPECT_EQ(Height(), 25);
}

TEST_F(WaitTest, ProgressBeyond32BitsIsScaled) {
  int64_t max = int64_t(1) << 40;
  StartWaitRequester("Reading", 0, m_parent, false);
  Update(1, "", 0, max);
  m_now += 1000;
  Update(1, "", max / 2, max);
  int64_t shown = GetGadgetState(detail::WaitRequesterParts().progressBar);
  EXPECT_NEAR(double(shown) / double(max), 0.5, 0.001);
}

TEST_F(WaitTest, LinesBeforeTheWindowAreKeptAndTextsFollowTheWork) {
  StartWaitRequester("Working", 1000, m_parent, false);
  Update(1, "", 0, 0, "early");
  Update(1, "step 1");  // given before the window: shown once it opens
  m_now += 1000;
  Update(1, "", 0, 0, "later");
  auto parts = detail::WaitRequesterParts();
  ASSERT_NE(parts.window, 0);
  EXPECT_EQ(GetGadgetText(parts.logEditor), "early\nlater");
  EXPECT_EQ(GetGadgetText(parts.text), "Working");
  Update(1, "step 2");  // same clock second: still shown, it differs from the screen
  EXPECT_EQ(GetGadgetText(parts.text), "step 2");
  Update(1, "");
  EXPECT_EQ(GetGadgetText(parts.text), "step 2");
  EXPECT_EQ(StopWaitRequester(), "early\nlater");
}

TEST_F(WaitTest, CancelIsSeenOnTheNextClockSecond) {
  StartWaitRequester("Generating", 0, m_parent, true);
  EXPECT_EQ(Update(), 1);
  int cancel = detail::WaitRequesterParts().cancelButton;
  ASSERT_NE(cancel, 0);
  QTest::mouseClick(GadgetWidget(cancel), Qt::LeftButton);
  m_now += 100;
  EXPECT_EQ(Update(), 1);  // mode 1 looks at the queue once per second
  m_now += 1000;
  EXPECT_EQ(Update(), 0);
  m_now += 1000;
  EXPECT_EQ(Update(), 1);
  QTest::mouseClick(GadgetWidget(cancel), Qt::LeftButton);
  EXPECT_EQ(Update(2), 0);  // mode 2 always looks
}

TEST_F(WaitTest, TheLogFoldsOutAndBack) {
  StartWaitRequester("Generating", 0, m_parent, false);
  Update(1, "", 0, 0, "line");
  auto parts = detail::WaitRequesterParts();
  int before = Height();
  QTest::mouseClick(GadgetWidget(parts.logToggle), Qt::LeftButton);
  m_now += 1000;
  Update();
  EXPECT_EQ(Height(), before + 305);
  EXPECT_EQ(GetGadgetText(parts.logToggle), "-");
  EXPECT_FALSE(IsGadgetHidden(parts.logEditor));
  QTest::mouseClick(GadgetWidget(parts.logToggle), Qt::LeftButton);
  m_now += 1000;
  Update();
  EXPECT_EQ(Height(), before);
  EXPECT_EQ(GetGadgetText(parts.logToggle), "+");
  EXPECT_TRUE(IsGadgetHidden(parts.logEditor));
}

TEST_F(WaitTest, TheBorderIsALightOutlineWithADarkerBottomAndRight) {
  StartWaitRequester("Please wait", 0, m_parent, false);
  Update(1, "", 0, 3);
  // Grown once more, the bottom edge follows and none is left in the middle.
  Update(1, "", 0, 3, "a line");
  QApplication::processEvents();
  QImage shown = WindowWidget(detail::WaitRequesterParts().window)->grab().toImage();
  const int w = shown.width(), h = shown.height();
  ASSERT_EQ(h, 60);
  const QColor light(200, 200, 200), dark(128, 128, 128), white(255, 255, 255);
  struct Case {
    const char* where;
    int x, y;
    QColor colour;
  } cases[] = {
      {"top left", 0, 0, light},     {"top", w / 2, 0, light},
      {"left", 0, h / 2, light},     {"bottom", w / 2, h - 1, dark},
      {"right", w - 1, h / 2, dark}, {"bottom right", w - 1, h - 1, dark},
      {"inside", 2, h / 2, white},   {"old bottom edge", 2, 34, white},
  };
  for (const auto& c : cases) EXPECT_EQ(shown.pixelColor(c.x, c.y), c.colour) << c.where;
}

}  // namespace
