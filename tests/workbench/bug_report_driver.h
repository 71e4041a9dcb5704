// Answers the bug-report window from the loop hook: types a description, presses Ok or
// Cancel, and closes the confirmation that follows. Gives up (and says so) after a bounded
// number of turns.
#pragma once

#include <QAbstractScrollArea>
#include <QProcess>
#include <QWidget>

#include <algorithm>
#include <string>

#include "gui/scintilla_wrapper.h"
#include "platform/editor_gadget.h"
#include "platform/scintilla_codes.h"
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
  // The width of the confirmation's text area and the right edge of its rightmost character,
  // in pixels: beyond the width a character is seen only by scrolling sideways.
  int confirmationTextWidth = 0;
  int confirmationRightmost = 0;
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
      int editor = platform::FindGadgetByName(confirmation, "editor");
      confirmationText = gui::Scintilla_GetText(editor);
      MeasureText(editor);
      auto onTop = [](int w) {
        QWidget* widget = platform::WindowWidget(w);
        return widget && widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      };
      confirmationAbove = onTop(confirmation) || !onTop(window);
      platform::PostEvent(platform::kEventCloseWindow, confirmation, -1);
    }
  }
  void MeasureText(int editor) {
    using Sci = platform::ScintillaCodes;
    auto* area = qobject_cast<QAbstractScrollArea*>(platform::GadgetWidget(editor));
    if (!area) return;
    area->viewport()->repaint();  // lays the lines out at the window's width
    confirmationTextWidth = area->viewport()->width();
    intptr_t length = platform::ScintillaSendMessage(editor, Sci::SCI_GETLENGTH);
    for (intptr_t at = 0; at < length;
         at = platform::ScintillaSendMessage(editor, Sci::SCI_POSITIONAFTER, uintptr_t(at))) {
      intptr_t after =
          platform::ScintillaSendMessage(editor, Sci::SCI_POSITIONAFTER, uintptr_t(at));
      intptr_t left = platform::ScintillaSendMessage(editor, Sci::SCI_POINTXFROMPOSITION, 0, at);
      intptr_t line = platform::ScintillaSendMessage(editor, Sci::SCI_POINTYFROMPOSITION, 0, at);
      intptr_t next = platform::ScintillaSendMessage(editor, Sci::SCI_POINTYFROMPOSITION, 0, after);
      // A character's right edge is where the next one starts on the same display line.
      intptr_t right = next == line ? platform::ScintillaSendMessage(
                                          editor, Sci::SCI_POINTXFROMPOSITION, 0, after)
                                    : left;
      confirmationRightmost = std::max(confirmationRightmost, int(right));
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
