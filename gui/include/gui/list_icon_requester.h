// The modal multi-column pick list: one blocking call that returns the chosen row(s).
#pragma once

#include <cstdint>
#include <string>

namespace gui {

enum ListIconRequesterFlags : int64_t {
  LIR_MultiSelect = 1,
  LIR_CheckBoxes = 2,
  LIR_RememberGeometry = 4,
  LIR_SearchField = 8,
  LIR_CopyMenu = 16,
  LIR_ExpandCell = 32,
  LIR_StayOnTop = 64,
  LIR_DisableParent = 128,
  LIR_ToolWindow = 256,
  LIR_NoMarkup = 512,
};

// Returns the chosen row (single mode), the confirmed rows joined by LF, or "***CANCEL***".
std::string ListIconRequester(const std::string& title, const std::string& message,
                              const std::string& hint, const std::string& columns,
                              const std::string& columnWidths, const std::string& items,
                              const std::string& preset, int parentWindow, int64_t flags,
                              const std::string& name);

int ListIconRequester_SetDefaultSize(int width, int height);

namespace detail {
// Adds the rows of items that pass the filter (null: all) to the list gadget.
void ListIconRequester_FillList(int list, const std::string& items, int64_t flags,
                                const std::string* filter);
// "*" column shares for a list this wide: (width - fixed - 30) / n, never below 0.
int StarColumnWidth(const std::string& columnWidths, int listWidth);
// The three 16 x 16 pictures of the check buttons, made once.
int CheckButtonImage(int which);  // 0 all, 1 none, 2 inverse
void ResetListIconRequesterDefaults();
}  // namespace detail

}  // namespace gui
