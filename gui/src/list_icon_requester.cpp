#include "gui/list_icon_requester.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <unordered_set>
#include <vector>

#include "gui/colour_font_strings.h"
#include "gui/pick_list_markup.h"
#include "gui/requester_geometry.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace gui {

using namespace platform;

namespace {

struct Defaults {
  int width = 400;
  int height = 300;
  int checkImages[3] = {0, 0, 0};
};
Defaults& RequesterDefaults() {
  static Defaults defaults;
  return defaults;
}

constexpr int kMargin = 5;
constexpr int kRowHeight = 24;
constexpr int kButtonHeight = 28;
constexpr int kTimerSearch = 1;
enum Shortcut { kShortcutEscape = 1, kShortcutReturn = 2, kShortcutFind = 3 };
enum MenuEntry {
  kMenuExpand = 10,
  kMenuCopyCell = 11,
  kMenuCopyLine = 12,
  kMenuCopyColumn = 13,
  kMenuCopyTable = 14,
};
enum class Mode { kSingle, kMulti, kCheck };

// Image numbers the layer hands out start at 100,000, so only int's own range caps a field.
int NumberField(const std::string& text) {
  constexpr long long kLargest = std::numeric_limits<int>::max();
  long long value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = std::min<long long>(value * 10 + (c - '0'), kLargest);
  }
  return int(value);
}

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) return parts;
    start = bar + 1;
  }
}

// Working state of one call.
struct PickList {
  int64_t flags = 0;
  Mode mode = Mode::kSingle;
  std::string items, columnWidths;
  // The widths as the columns were made: a fixed one may be wider than asked for.
  std::string shownWidths;
  // The row lines chosen so far, also of rows the filter hides; looked up once per row after
  // every event, so a set rather than text that is searched.
  std::unordered_set<std::string> remembered;
  int window = 0, msg = -1, sea = -1, lst = 0, but = -1, stb = -1;
  int cha = -1, chn = -1, chi = -1;
  int columnCount = 1;
  int rowMenu = 0, emptyMenu = 0;
  int recordedRow = 0, recordedColumn = 0;
  bool cancelled = false, done = false, showsPlaceholder = false;
};

std::vector<std::string> RowCells(const PickList& p, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < p.columnCount; ++c) cells.push_back(GetGadgetItemText(p.lst, row, c));
  return cells;
}

bool IsLocked(const PickList& p, int row) {
  return GetGadgetItemData(p.lst, row) == 1;
}

int CurrentRow(const PickList& p) {
  int count = CountGadgetItems(p.lst);
  for (int r = 0; r < count; ++r)
    if (GetGadgetItemState(p.lst, r) & kItemSelected) return r;
  return -1;
}

void Layout(const PickList& p) {
  int w = WindowWidth(p.window), h = WindowHeight(p.window);
  int inner = std::max(w - 2 * kMargin, 1);
  int y = kMargin;
  if (p.msg >= 0) {
    ResizeGadget(p.msg, kMargin, y, inner, kKeepValue);
    int need = std::max(GadgetRequiredHeight(p.msg), 16);
    ResizeGadget(p.msg, kKeepValue, kKeepValue, kKeepValue, need);
    y += need + kMargin;
  }
  if (p.sea >= 0) {
    int x = kMargin;
    for (int button : {p.cha, p.chn, p.chi}) {
      if (button < 0) continue;
      ResizeGadget(button, x, y, kRowHeight, kRowHeight);
      x += kRowHeight + 2;
    }
    ResizeGadget(p.sea, x, y, std::max(w - kMargin - x, 1), kRowHeight);
    y += kRowHeight + kMargin;
  }
  int bottom = p.but >= 0 ? kButtonHeight : kRowHeight - 4;
  int listHeight = std::max(h - y - bottom - 2 * kMargin, 1);
  ResizeGadget(p.lst, kMargin, y, inner, listHeight);
  int status = p.but >= 0 ? p.but : p.stb;
  ResizeGadget(status, kMargin, y + listHeight + kMargin, inner, bottom);
}

// A fixed column is never narrower than its title: a width chosen for one font cuts the title
// off in a larger one. The "*" columns share what the fixed ones leave as they are shown.
void FitColumnTitles(PickList& p) {
  std::vector<std::string> fields = SplitBars(p.columnWidths);
  for (size_t k = 0; k < fields.size() && int(k) < p.columnCount; ++k) {
    const int width = NumberField(fields[k]);
    if (fields[k] == "*" || width <= 0) continue;
    const int fitting = std::max(width, GadgetColumnTitleWidth(p.lst, int(k)));
    SetGadgetColumnWidth(p.lst, int(k), fitting);
    fields[k] = std::to_string(fitting);
  }
  p.shownWidths.clear();
  for (size_t k = 0; k < fields.size(); ++k) p.shownWidths += (k ? "|" : "") + fields[k];
}

void ApplyStarWidths(const PickList& p) {
  int share = detail::StarColumnWidth(p.shownWidths, GadgetWidth(p.lst));
  std::vector<std::string> fields = SplitBars(p.shownWidths);
  for (size_t k = 0; k < fields.size(); ++k)
    if (fields[k] == "*" && int(k) < p.columnCount) SetGadgetColumnWidth(p.lst, int(k), share);
}

std::string SearchText(const PickList& p) {
  return p.sea >= 0 ? GetGadgetText(p.sea) : "";
}

void Refill(PickList& p) {
  TOLVEK_TRACE("ListIconRequester_Refill");
  ClearGadgetItems(p.lst);
  std::string filter = SearchText(p);
  detail::ListIconRequester_FillList(p.lst, p.items, p.flags, &filter);
  int count = CountGadgetItems(p.lst);
  for (int r = 0; r < count; ++r) {
    if (!p.remembered.contains(detail::RowLine(RowCells(p, r)))) continue;
    if (p.mode == Mode::kCheck)
      SetGadgetItemState(p.lst, r, kItemChecked);
    else
      SetGadgetItemState(p.lst, r, kItemSelected);
  }
}

void UpdateRemembered(PickList& p) {
  int count = CountGadgetItems(p.lst);
  for (int r = 0; r < count; ++r) {
    std::string line = detail::RowLine(RowCells(p, r));
    int state = GetGadgetItemState(p.lst, r);
    if ((p.mode == Mode::kMulti && (state & kItemSelected)) ||
        (p.mode == Mode::kCheck && (state & kItemChecked)))
      p.remembered.insert(std::move(line));
    else
      p.remembered.erase(line);
  }
}

void ShowPlaceholder(PickList& p) {
  SetGadgetText(p.sea, detail::kSearchPlaceholder);
  SetGadgetColor(p.sea, kFrontColor, Rgb(128, 128, 128));
  p.showsPlaceholder = true;
}

void ClearPlaceholder(PickList& p) {
  if (GetGadgetText(p.sea) != detail::kSearchPlaceholder || !p.showsPlaceholder) return;
  SetGadgetText(p.sea, "");
  SetGadgetColor(p.sea, kFrontColor, 0);
  p.showsPlaceholder = false;
}

void FocusSearch(PickList& p) {
  if (p.sea < 0) return;
  SetActiveGadget(p.sea);
  ClearPlaceholder(p);
}

void CheckAll(PickList& p, int how) {
  int count = CountGadgetItems(p.lst);
  for (int r = 0; r < count; ++r) {
    int state = GetGadgetItemState(p.lst, r);
    bool checked = how == 0 ? true : how == 1 ? false : !(state & kItemChecked);
    SetGadgetItemState(p.lst, r, (state & kItemSelected) | (checked ? kItemChecked : 0));
  }
}

void ShowContextMenu(PickList& p) {
  // The row and column under the pointer, not the selection: the user means what he
  // clicked on, with the list scrolled as it is.
  int x = EventMouseX(), y = EventMouseY();
  int row = ListIconRowAt(p.lst, x, y);
  int sx = GadgetScreenX(p.lst) + x, sy = GadgetScreenY(p.lst) + y;
  if (row >= 0) {
    p.recordedRow = row;
    int column = ListIconColumnAt(p.lst, x);
    if (column >= 0) p.recordedColumn = column;
    DisplayPopupMenu(p.rowMenu, p.window, sx, sy);
  } else {
    DisplayPopupMenu(p.emptyMenu, p.window, sx, sy);
  }
}

void MenuAction(PickList& p, int id) {
  std::string text;
  int count = CountGadgetItems(p.lst);
  switch (id) {
    case kMenuExpand:
      MessageRequester("", GetGadgetItemText(p.lst, p.recordedRow, p.recordedColumn));
      return;
    case kMenuCopyCell:
      text = GetGadgetItemText(p.lst, p.recordedRow, p.recordedColumn);
      break;
    case kMenuCopyLine:
      for (const auto& cell : RowCells(p, p.recordedRow)) {
        if (!text.empty()) text += '\t';
        text += cell;
      }
      break;
    case kMenuCopyColumn:
      for (int r = 0; r < count; ++r) {
        if (!text.empty()) text += '\n';
        text += GetGadgetItemText(p.lst, r, p.recordedColumn);
      }
      break;
    case kMenuCopyTable: {
      auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (size_t c = 0; c < cells.size(); ++c) out += (c ? "\t" : "") + cells[c];
        return out;
      };
      std::vector<std::string> titles;
      for (int c = 0; c < p.columnCount; ++c) titles.push_back(GetGadgetColumnTitle(p.lst, c));
      text = line(titles);
      for (int r = 0; r < count; ++r) {
        if (!text.empty()) text += '\n';
        text += line(RowCells(p, r));
      }
      break;
    }
    default:
      return;
  }
  SetClipboardText(text);
}

void CreateMenus(PickList& p) {
  bool expand = p.flags & LIR_ExpandCell, copy = p.flags & LIR_CopyMenu;
  p.rowMenu = CreatePopupMenu(kNewNumber);
  if (expand) MenuItem(kMenuExpand, "Expand cell ...");
  if (expand && copy) MenuBar();
  if (copy) {
    MenuItem(kMenuCopyCell, "Copy cell to clipboard");
    MenuBar();
    MenuItem(kMenuCopyLine, "Copy line to clipboard");
    MenuItem(kMenuCopyColumn, "Copy column to clipboard");
    MenuBar();
    MenuItem(kMenuCopyTable, "Copy table to clipboard");
  }
  p.emptyMenu = CreatePopupMenu(kNewNumber);
  if (expand) MenuItem(kMenuExpand, "Expand cell ...");
  if (expand && copy) MenuBar();
  if (copy) MenuItem(kMenuCopyTable, "Copy table to clipboard");
}

void HandleEvent(PickList& p, int event) {
  int gadget = EventGadget();
  int subtype = EventSubtype();
  switch (event) {
    case kEventSizeWindow:
      Layout(p);
      ApplyStarWidths(p);
      return;
    case kEventCloseWindow:
      p.cancelled = true;
      return;
    case kEventTimer:
      if (EventTimer() == kTimerSearch) {
        RemoveWindowTimer(p.window, kTimerSearch);
        Refill(p);
      }
      return;
    case kEventMenu: {
      int id = EventMenu();
      if (id == kShortcutEscape) {
        p.cancelled = true;
      } else if (id == kShortcutReturn) {
        int row = CurrentRow(p);
        if (p.mode == Mode::kSingle && row >= 0 && !IsLocked(p, row)) p.done = true;
      } else if (id == kShortcutFind) {
        FocusSearch(p);
      } else if (id >= kMenuExpand && id <= kMenuCopyTable) {
        MenuAction(p, id);
      }
      return;
    }
    case kEventGadget:
      break;
    default:
      return;
  }
  if (gadget == p.lst) {
    if (subtype == kSubRightClick && (p.flags & (LIR_CopyMenu | LIR_ExpandCell))) {
      ShowContextMenu(p);
    } else if (subtype == kSubLeftDoubleClick && p.mode == Mode::kSingle) {
      int row = CurrentRow(p);
      if (row >= 0 && !IsLocked(p, row)) p.done = true;
    }
  } else if (gadget == p.but && p.but >= 0 && subtype == kSubLeftClick) {
    if (p.mode == Mode::kCheck && p.sea >= 0) {
      SetGadgetText(p.sea, "");
      p.showsPlaceholder = false;
      Refill(p);
    }
    p.done = true;
  } else if (gadget == p.sea && p.sea >= 0) {
    if (subtype == kSubFocus) {
      ClearPlaceholder(p);
    } else if (subtype == kSubLostFocus) {
      if (GetGadgetText(p.sea).empty()) ShowPlaceholder(p);
    } else if (subtype == kSubChange) {
      p.showsPlaceholder = false;
      SetGadgetColor(p.sea, kFrontColor, 0);
      RemoveWindowTimer(p.window, kTimerSearch);
      AddWindowTimer(p.window, kTimerSearch, 250);
    }
  } else if (subtype == kSubLeftClick && p.mode == Mode::kCheck) {
    // With both mode flags the buttons are shown but do nothing.
    if (gadget == p.cha)
      CheckAll(p, 0);
    else if (gadget == p.chn)
      CheckAll(p, 1);
    else if (gadget == p.chi)
      CheckAll(p, 2);
  }
}

// A ticked box, an empty box, and a ticked box in front of an empty one.
int MakeCheckImage(int which) {
  const uint32_t kInk = Rgba(0, 0, 0, 255), kPaper = Rgba(255, 255, 255, 255);
  int image = CreateImage(kNewNumber, 16, 16, Rgba(0, 0, 0, 0));
  auto box = [&](int x0, int y0, int size, bool tick) {
    for (int y = y0; y < y0 + size; ++y)
      for (int x = x0; x < x0 + size; ++x) {
        bool edge = x == x0 || y == y0 || x == x0 + size - 1 || y == y0 + size - 1;
        SetImagePixel(image, x, y, edge ? kInk : kPaper);
      }
    if (!tick) return;
    for (int i = 0; i < size - 4; ++i) {
      int x = x0 + 2 + i;
      int y = i < (size - 4) / 3 ? y0 + size / 2 + i : y0 + size - 3 - (i - (size - 4) / 3);
      SetImagePixel(image, x, y, kInk);
      SetImagePixel(image, x, y - 1, kInk);
    }
  };
  if (which == 2) {
    box(5, 0, 11, false);
    box(0, 5, 11, true);
  } else {
    box(1, 1, 14, which == 0);
  }
  return image;
}

}  // namespace

namespace detail {

int CheckButtonImage(int which) {
  auto& images = RequesterDefaults().checkImages;
  if (!IsImage(images[which])) images[which] = MakeCheckImage(which);
  return images[which];
}

void ResetListIconRequesterDefaults() {
  RequesterDefaults() = Defaults{};
}

int StarColumnWidth(const std::string& columnWidths, int listWidth) {
  int fixed = 0, stars = 0;
  for (const auto& field : SplitBars(columnWidths)) {
    if (field == "*")
      ++stars;
    else
      fixed += NumberField(field);
  }
  if (stars == 0) return 0;
  return std::max((listWidth - fixed - 30) / stars, 0);
}

void ListIconRequester_FillList(int list, const std::string& items, int64_t flags,
                                const std::string* filter) {
  TOLVEK_TRACE("ListIconRequester_FillList");
  bool noMarkup = flags & LIR_NoMarkup;
  std::optional<std::string> listStyleText = noMarkup ? std::nullopt : ListStyleText(items);
  std::vector<tolvek::CssStyle> listStyle;
  if (listStyleText) listStyle = ParseStyleText(*listStyleText);
  for (const auto& raw : SplitItemRows(items)) {
    MarkedRow row = ParseMarkedRow(raw, listStyleText.has_value(), noMarkup);
    if (filter) {
      std::string text;
      for (size_t c = 0; c < row.cells.size(); ++c) text += (c ? "\n" : "") + row.cells[c];
      if (!PickListFilterAccepts(*filter, text)) continue;
    }
    RowLook look = ComputeRowLook(listStyle, row);
    int image = 0;
    if (look.image) {
      int number = NumberField(*look.image);
      if (IsImage(number)) image = number;
    }
    std::string cellText;
    for (size_t c = 0; c < row.cells.size(); ++c) cellText += (c ? "\n" : "") + row.cells[c];
    int index = CountGadgetItems(list);
    AddGadgetItem(list, -1, cellText, image);
    SetGadgetItemData(list, index, look.locked ? 1 : 0);
    if (look.front) SetGadgetItemColor(list, index, kFrontColor, *look.front);
    if (look.back) SetGadgetItemColor(list, index, kBackColor, *look.back);
    for (size_t c = 0; c < look.cellFront.size(); ++c) {
      if (look.cellFront[c])
        SetGadgetItemColor(list, index, kFrontColor, *look.cellFront[c], int(c));
      if (look.cellBack[c]) SetGadgetItemColor(list, index, kBackColor, *look.cellBack[c], int(c));
    }
  }
}

}  // namespace detail

int ListIconRequester_SetDefaultSize(int width, int height) {
  TOLVEK_TRACE("ListIconRequester_SetDefaultSize");
  RequesterDefaults().width = width;
  RequesterDefaults().height = height;
  return 0;
}

std::string ListIconRequester(const std::string& title, const std::string& message,
                              const std::string& hint, const std::string& columns,
                              const std::string& columnWidths, const std::string& items,
                              const std::string& preset, int parentWindow, int64_t flags,
                              const std::string& name) {
  TOLVEK_TRACE("ListIconRequester");
  PickList p;
  p.flags = flags;
  p.items = items;
  p.mode = (flags & LIR_MultiSelect)  ? Mode::kMulti
           : (flags & LIR_CheckBoxes) ? Mode::kCheck
                                      : Mode::kSingle;
  std::string normalisedPreset = detail::NormalisePreset(preset);
  for (size_t start = 0; start < normalisedPreset.size();) {
    size_t lf = std::min(normalisedPreset.find('\n', start), normalisedPreset.size());
    p.remembered.insert(normalisedPreset.substr(start, lf - start));
    start = lf + 1;
  }
  p.columnWidths = columnWidths;
  std::erase(p.columnWidths, ' ');

  std::string msgText = message, hintText = hint;
  if (flags & LIR_CheckBoxes) {
    if (msgText.empty()) msgText = "Select item(s) by checking/unchecking ...";
    if (hintText.empty()) hintText = "Ok";
  }
  if (hintText.empty()) hintText = "Select item by doubleclicking ...";

  bool hasParent = parentWindow != kNoParent && IsWindow(parentWindow);
  Defaults& defaults = RequesterDefaults();
  int x = 0, y = 0, w = defaults.width, h = defaults.height;
  std::string requesterPart = columns + "-" + p.columnWidths + "-" + name;
  RequesterGeometry remembered;
  if ((flags & LIR_RememberGeometry) &&
      RequesterGeometry_Load("ListIconRequester", requesterPart, remembered)) {
    x = remembered.x;
    y = remembered.y;
    w = remembered.width;
    h = remembered.height;
  } else if (hasParent) {
    x = WindowX(parentWindow) + WindowWidth(parentWindow) / 2 - w / 2;
    y = WindowY(parentWindow) + WindowHeight(parentWindow) / 2 - h / 2;
  }

  uint32_t windowFlags = kWindowCloseBox | kWindowTitleBar | kWindowSizable | kWindowInvisible;
  if (flags & LIR_ToolWindow) windowFlags |= kWindowTool;
  p.window = OpenWindow(kNewNumber, x, y, std::max(w, 1), std::max(h, 1), title, windowFlags,
                        hasParent ? parentWindow : kNoParent);

  if (!msgText.empty()) {
    p.msg = TextGadget(kNewNumber, 0, 0, 10, 10, msgText);
    SetGadgetName(p.msg, "msg");
  }
  if (flags & LIR_SearchField) {
    if (flags & LIR_CheckBoxes) {
      const char* tips[] = {"Check all", "Uncheck all", "Check inverse"};
      const char* names[] = {"cha", "chn", "chi"};
      int* buttons[] = {&p.cha, &p.chn, &p.chi};
      for (int i = 0; i < 3; ++i) {
        // With both mode flags the buttons stay without pictures.
        int image = p.mode == Mode::kCheck ? detail::CheckButtonImage(i) : 0;
        *buttons[i] = ButtonImageGadget(kNewNumber, 0, 0, kRowHeight, kRowHeight, image);
        GadgetToolTip(*buttons[i], tips[i]);
        SetGadgetName(*buttons[i], names[i]);
      }
    }
    p.sea = StringGadget(kNewNumber, 0, 0, 10, kRowHeight, "");
    SetGadgetName(p.sea, "sea");
  }
  uint32_t listFlags = kListIconFullRowSelect | kListIconAlwaysShowSelection;
  if (p.mode == Mode::kMulti) listFlags |= kListIconMultiSelect;
  if (p.mode == Mode::kCheck) listFlags |= kListIconCheckBoxes;
  std::vector<std::string> titles = SplitBars(columns);
  std::vector<std::string> widths = SplitBars(p.columnWidths);
  auto widthOf = [&widths](size_t k) { return k < widths.size() ? NumberField(widths[k]) : 0; };
  p.lst = ListIconGadget(kNewNumber, 0, 0, 10, 10, titles[0], widthOf(0), listFlags);
  SetGadgetName(p.lst, "lst");
  for (size_t k = 1; k < titles.size(); ++k) AddGadgetColumn(p.lst, int(k), titles[k], widthOf(k));
  p.columnCount = int(titles.size());
  FitColumnTitles(p);
  if (p.mode == Mode::kSingle) {
    p.stb = TextGadget(kNewNumber, 0, 0, 10, 10, hintText);
    SetGadgetName(p.stb, "stb");
  } else {
    p.but = ButtonGadget(kNewNumber, 0, 0, 10, kButtonHeight, hintText);
    SetGadgetName(p.but, "but");
  }
  if (p.sea >= 0) ShowPlaceholder(p);

  // The minimum size is what the elements need; a smaller remembered size is enlarged.
  int minW = 200;
  int minH = kMargin * 2 + 60 + (p.but >= 0 ? kButtonHeight : kRowHeight) + kMargin;
  if (p.msg >= 0) minH += 16 + kMargin;
  if (p.sea >= 0) minH += kRowHeight + kMargin;
  WindowMinimumSize(p.window, minW, minH);
  if (WindowWidth(p.window) < minW || WindowHeight(p.window) < minH)
    ResizeWindow(p.window, kKeepValue, kKeepValue, std::max(WindowWidth(p.window), minW),
                 std::max(WindowHeight(p.window), minH));
  Layout(p);
  HideWindow(p.window, false);
  ResizeWindow(p.window, x, y, kKeepValue, kKeepValue);
  SetActiveWindow(p.window);
  if (flags & LIR_StayOnTop) StickyWindow(p.window, true);
  bool disableParent = (flags & LIR_DisableParent) && hasParent;
  if (disableParent) DisableWindow(parentWindow, true);

  if (!(flags & LIR_NoMarkup)) {
    if (auto styleText = detail::ListStyleText(items)) {
      if (auto font = detail::ListFontDescription(detail::ParseStyleText(*styleText))) {
        int f = GetFontFromString(*font);
        if (f != -1) SetGadgetFont(p.lst, f);
      }
    }
  }
  detail::ListIconRequester_FillList(p.lst, items, flags, nullptr);

  if (!normalisedPreset.empty()) {
    std::string rawPreset = preset;
    while (!rawPreset.empty() && rawPreset.back() == '\n') rawPreset.pop_back();
    rawPreset += '\n';
    bool hasListMarkup = !(flags & LIR_NoMarkup) && detail::ListStyleText(items).has_value();
    std::vector<std::string> raw = detail::SplitItemRows(items);
    int count = CountGadgetItems(p.lst);
    for (int r = 0; r < count && r < int(raw.size()); ++r) {
      std::string text = detail::PresetComparisonText(raw[r], hasListMarkup, flags & LIR_NoMarkup);
      // A row the preset names exactly as the items give it counts too: the preset loses its
      // brace groups, so a row whose text holds braces (a rule "\d{3}") would otherwise never
      // be preselected, and a check-box list confirmed unchanged would uncheck it.
      if (!p.remembered.contains(text) && !detail::ContainsWholeLine(rawPreset, raw[r])) continue;
      if (p.mode == Mode::kCheck) {
        SetGadgetItemState(p.lst, r, kItemChecked);
      } else {
        SetGadgetItemState(p.lst, r, kItemSelected);
        if (p.mode == Mode::kSingle) break;
      }
    }
  }

  CreateMenus(p);
  AddKeyboardShortcut(p.window, "Escape", kShortcutEscape);
  AddKeyboardShortcut(p.window, "Return", kShortcutReturn);
  AddKeyboardShortcut(p.window, "Enter", kShortcutReturn);
  if (flags & LIR_SearchField) AddKeyboardShortcut(p.window, "Ctrl+F", kShortcutFind);
  SetActiveGadget(p.lst);

  // First pass: as if just resized.
  Layout(p);
  ApplyStarWidths(p);
  UpdateRemembered(p);
  while (!p.cancelled && !p.done) {
    int event = WaitWindowEvent();
    if (EventWindow() == p.window) HandleEvent(p, event);
    UpdateRemembered(p);
    // The program is to end: the list leaves as its Cancel does.
    if (IsEndRequested()) p.cancelled = true;
  }

  std::string result;
  if (p.cancelled) {
    result = "***CANCEL***";
  } else if (p.mode == Mode::kSingle) {
    int row = CurrentRow(p);
    if (row >= 0) result = detail::ResultRowText(RowCells(p, row));
  } else {
    int count = CountGadgetItems(p.lst);
    for (int r = 0; r < count; ++r) {
      int state = GetGadgetItemState(p.lst, r);
      bool taken = p.mode == Mode::kMulti ? (state & kItemSelected) : (state & kItemChecked);
      if (!taken || IsLocked(p, r)) continue;
      if (!result.empty()) result += '\n';
      result += detail::ResultRowText(RowCells(p, r));
    }
  }

  if (flags & LIR_RememberGeometry)
    RequesterGeometry_Save("ListIconRequester", requesterPart, p.window);
  CloseWindow(p.window);
  if (disableParent && IsWindow(parentWindow)) {
    DisableWindow(parentWindow, false);
    SetActiveWindow(parentWindow);
  }
  FreeMenu(p.rowMenu);
  FreeMenu(p.emptyMenu);
  return result;
}

}  // namespace gui
