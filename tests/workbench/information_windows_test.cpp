// The Help menu's windows open and close as the analyst works them: keys, close buttons, the
// main window waiting meanwhile, and the donation page handed to the desktop's opener.
#include <sys/stat.h>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

class InformationWindows : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
  }
  void TearDown() override {
    platform::SetLoopHook(nullptr);
    WorkbenchTest::TearDown();
  }
  // Runs the main loop until the window titled title has come and gone; act closes it.
  // False when it never showed or never closed within a bounded number of turns.
  bool OpenAndClose(int menuItem, const std::string& title, const std::function<void(int)>& act) {
    bool seen = false, acted = false;
    int turns = 0;
    platform::SetLoopHook([&] {
      int window = platform::FindWindowByTitle(title);
      if (++turns > 3000) {
        if (window >= 0) platform::PostEvent(platform::kEventCloseWindow, window, -1);
        return;
      }
      if (window >= 0 && !acted) {
        seen = true;
        acted = true;
        m_mainEnabledMeanwhile = platform::IsWindowEnabled(Window_Main);
        act(window);
      }
    });
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, menuItem);
    for (int i = 0; i < 5 && platform::QueuedEventCount() > 0; ++i) MainLoopTurn();
    platform::SetLoopHook(nullptr);
    return seen && turns <= 3000 && platform::FindWindowByTitle(title) < 0;
  }
  static void Key(int window, Qt::Key key) { QTest::keyClick(platform::WindowWidget(window), key); }
  bool m_mainEnabledMeanwhile = true;
};

TEST_F(InformationWindows, LegendAndQuickHelpWaitWithTheMainWindowDisabled) {
  // F1 opens the legend from the main window, F1 or Escape closes it.
  QTest::keyClick(platform::GadgetWidget(Button_Main_Refresh), Qt::Key_F1);
  ASSERT_EQ(platform::WindowEvent(), platform::kEventMenu);
  EXPECT_EQ(platform::EventMenu(), MenuItem_Legend);
  for (Qt::Key key : {Qt::Key_F1, Qt::Key_Escape}) {
    int width = 0, height = 0;
    EXPECT_TRUE(OpenAndClose(MenuItem_Legend, "Graph legend ...", [&](int window) {
      width = platform::WindowWidth(window);
      height = platform::WindowHeight(window);
      Key(window, key);
    }));
    EXPECT_FALSE(m_mainEnabledMeanwhile);
    EXPECT_EQ(width, 610);
    EXPECT_EQ(height, 615);
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  }
  EXPECT_TRUE(OpenAndClose(MenuItem_QuickHelp, "Quick help ...", [](int window) {
    // F1 is no key of the quick help; its close button is.
    Key(window, Qt::Key_F1);
    platform::PostEvent(platform::kEventCloseWindow, window, -1);
  }));
  EXPECT_FALSE(m_mainEnabledMeanwhile);
  EXPECT_TRUE(OpenAndClose(MenuItem_QuickHelp, "Quick help ...",
                           [](int window) { Key(window, Qt::Key_Escape); }));
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
}

// Each picture window shows its picture's full width, and the quick help, as large as its
// picture, all of it: no scroll bar takes a strip off its edges.
TEST_F(InformationWindows, ThePictureWindowsShowTheirPicturesUncut) {
  const struct {
    int menuItem;
    const char* title;
    QSize picture;
    bool scrollsDown;
  } kCases[] = {
      {MenuItem_QuickHelp, "Quick help ...", QSize(1034, 711), false},
      {MenuItem_Legend, "Graph legend ...", QSize(585, 849), true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.title);
    QSize view;
    bool across = true, down = true;
    EXPECT_TRUE(OpenAndClose(c.menuItem, c.title, [&](int window) {
      auto* area = platform::WindowWidget(window)->findChild<QScrollArea*>();
      ASSERT_NE(area, nullptr);
      QApplication::processEvents();
      view = area->viewport()->size();
      across = area->horizontalScrollBar()->isVisible();
      down = area->verticalScrollBar()->isVisible();
      Key(window, Qt::Key_Escape);
    }));
    EXPECT_GE(view.width(), c.picture.width());
    EXPECT_FALSE(across);
    EXPECT_EQ(down, c.scrollsDown);
    if (!c.scrollsDown) {
      EXPECT_GE(view.height(), c.picture.height());
    }
  }
}

TEST_F(InformationWindows, AboutCreditsAndDonation) {
  EXPECT_TRUE(OpenAndClose(MenuItem_About, "LumiVEX", [](int window) {
    platform::PostEvent(platform::kEventCloseWindow, window, -1);
  }));

  platform::ScriptMessageAnswer(platform::kResultOk);
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Credits);
  MainLoopTurn();
  ASSERT_EQ(platform::ShownMessages().size(), 1u);
  EXPECT_EQ(platform::ShownMessages()[0].title, "Credits go to ...");
  const std::string credits = platform::ShownMessages()[0].text;
  EXPECT_NE(credits.find("* GraphViz project for developing such a great graph renderer/layouter\n"
                         "* Tcpdump project\n* Windump project\n* Sysinternals developers for "
                         "Procmon\n"),
            std::string::npos);
  EXPECT_EQ(credits.substr(credits.size() - 12), "\n\nThank you!");

  // The donation window lives in the main loop; its button hands the page to the opener.
  const std::string bin = m_root + "/bin/", opened = m_root + "/opened";
  mkdir(bin.c_str(), 0700);
  WriteWholeFile(bin + "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened + ".part'\nmv '" +
                                       opened + ".part' '" + opened + "'\n");
  chmod((bin + "xdg-open").c_str(), 0755);
  SetEnv("PATH", bin + ":/usr/bin:/bin");
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Donate);
  MainLoopTurn();
  ASSERT_TRUE(platform::IsWindow(Window_Donation));
  EXPECT_EQ(platform::GetWindowTitle(Window_Donation), "Donate!");
  EXPECT_EQ(platform::WindowWidth(Window_Donation), 640);
  EXPECT_EQ(platform::GetGadgetText(Button_Donation_DonateNow), "Donate now via Paypal ...");
  platform::PostEvent(platform::kEventGadget, Window_Donation, Button_Donation_DonateNow);
  Settle();
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!FileExists(opened) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(ReadWholeFile(opened).rfind("https://www.paypal.com/", 0), 0u);
  EXPECT_TRUE(platform::IsWindow(Window_Donation));
  platform::PostEvent(platform::kEventCloseWindow, Window_Donation, -1);
  Settle();
  EXPECT_FALSE(platform::IsWindow(Window_Donation));
}

}  // namespace
