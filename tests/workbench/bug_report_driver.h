// Answers the bug-report window from the loop hook: types a description, presses Ok or
// Cancel, and closes the confirmation that follows. Gives up (and says so) after a bounded
// number of turns.
#pragma once

#include <QProcess>
#include <QWidget>

#include <string>

#include "gui/scintilla_wrapper.h"
#include "platform/window_system.h"
#include "workbench/gadgets.h"

namespace wbtest {

struct BugReportDriver {
  bool confirm = true;
  std::string description = "It broke.\nTwice.";
  // What the window showed.
  std::vector<std::pair<int, std::string>> tree;  // level, text
  bool confirmationSeen = false;
  std::string confirmationText;
  // A window that stays on top of others hides any that does not, its own answers included.
  bool confirmationAbove = false;
  bool gaveUp = false;
  int turns = 0;
  int window = -1;

  void Install() {
    platform::SetLoopHook([this] { Turn(); });
  }
  void Turn() {
    if (++turns > 4000) {
      gaveUp = true;
      if (window >= 0) platform::PostEvent(platform::kEventCloseWindow, window, -1);
      int other = platform::FindWindowByTitle("Bugreport");
      if (other >= 0) platform::PostEvent(platform::kEventCloseWindow, other, -1);
      return;
    }
    if (window < 0) {
      window = platform::FindWindowByTitle("Bugreport");
      if (window < 0) return;
      using namespace workbench;
      for (int i = 0; i < platform::CountGadgetItems(Tree_Bugreport_Explanation); ++i) {
        // A child item follows its member: the texts alone tell them apart well enough.
        tree.emplace_back(0, platform::GetGadgetItemText(Tree_Bugreport_Explanation, i));
      }
      platform::SetGadgetText(Editor_Bugreport_Description, description);
      // The confirmation has the same title: the window seen first steps aside.
      platform::SetWindowTitle(window, "Bugreport (answered)");
      platform::PostEvent(platform::kEventGadget, window,
                          confirm ? Button_Bugreport_Ok : Button_Bugreport_Cancel);
      return;
    }
    int confirmation = platform::FindWindowByTitle("Bugreport");
    if (confirmation >= 0 && !confirmationSeen) {
      confirmationSeen = true;
      confirmationText = gui::Scintilla_GetText(platform::FindGadgetByName(confirmation, "editor"));
      auto onTop = [](int w) {
        QWidget* widget = platform::WindowWidget(w);
        return widget && widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      };
      confirmationAbove = onTop(confirmation) || !onTop(window);
      platform::PostEvent(platform::kEventCloseWindow, confirmation, -1);
    }
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& [level, text] : tree) texts.push_back(text);
    return texts;
  }
};

// Runs a program and returns its standard output (bounded in time).
inline std::string Output(const std::string& program, const QStringList& arguments) {
  QProcess process;
  process.start(QString::fromStdString(program), arguments);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished(2000);
    return "(no answer)";
  }
  return process.readAllStandardOutput().toStdString();
}

}  // namespace wbtest
