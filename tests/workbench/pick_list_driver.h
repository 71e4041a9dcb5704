// Drives the workbench's pick lists as the analyst does, from the loop hook while the list
// waits for its answer: read its rows, double-click one, set the check boxes and confirm.
#pragma once

#include <QTest>
#include <QTreeWidget>

#include <set>
#include <string>
#include <vector>

#include "gui/gui_script.h"
#include "platform/window_system.h"

namespace wbtest {

inline int PickListGadget(const std::string& title, const char* name = "lst") {
  int window = platform::FindWindowByTitle(title);
  return window < 0 ? -1 : platform::FindGadgetByName(window, name);
}

inline bool PickListOpen(const std::string& title) {
  return PickListGadget(title) >= 0;
}

// Every row with its cells joined by "|"; a checked row begins with "[x]".
inline std::vector<std::string> PickListRows(const std::string& title) {
  int list = PickListGadget(title);
  std::vector<std::string> rows;
  for (int r = 0; r < platform::CountGadgetItems(list); ++r) {
    std::string row = platform::GetGadgetItemState(list, r) & platform::kItemChecked ? "[x]" : "";
    for (int c = 0; c < platform::CountGadgetColumns(list); ++c) {
      row += (c ? "|" : "") + platform::GetGadgetItemText(list, r, c);
    }
    rows.push_back(row);
  }
  return rows;
}

inline void DoubleClickRow(const std::string& title, int row) {
  auto* tree = static_cast<QTreeWidget*>(platform::GadgetWidget(PickListGadget(title)));
  QRect rect = tree->visualItemRect(tree->topLevelItem(row));
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {},
                     QPoint(rect.right() - 5, rect.center().y()));
}

// Checks exactly the rows given and confirms.
inline void CheckAndConfirm(const std::string& title, const std::set<int>& rows) {
  auto* tree = static_cast<QTreeWidget*>(platform::GadgetWidget(PickListGadget(title)));
  for (int r = 0; r < tree->topLevelItemCount(); ++r) {
    tree->topLevelItem(r)->setCheckState(0, rows.count(r) ? Qt::Checked : Qt::Unchecked);
  }
  QTest::mouseClick(platform::GadgetWidget(PickListGadget(title, "but")), Qt::LeftButton);
}

inline void ClosePickList(const std::string& title) {
  platform::PostEvent(platform::kEventCloseWindow, platform::FindWindowByTitle(title), -1);
}

}  // namespace wbtest
