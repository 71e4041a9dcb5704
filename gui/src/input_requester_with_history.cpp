#include "gui/input_requester_with_history.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "file_bytes.h"
#include "gui/requester_geometry.h"
#include "platform/text_case.h"
#include "platform/window_system.h"
#include "tolvek/app_dir.h"
#include "tolvek/callstack.h"
#include "tolvek/file_write.h"
#include "tolvek/text_utils.h"

namespace gui {

using namespace platform;

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";
enum Shortcut { kShortcutCancel = 1, kShortcutConfirm = 2 };

using tolvek::ReplaceAll;

std::string TrimBars(const std::string& text) {
  size_t a = text.find_first_not_of('|');
  if (a == std::string::npos) return {};
  return text.substr(a, text.find_last_not_of('|') - a + 1);
}

std::string HistoryPath() {
  return tolvek::GetApplicationDirectoryPath4File("Tolvek", "InputRequesterWithHistory");
}

// The line of key: the key itself and a TAB, so "a" never takes the line of "ab".
bool IsLineOf(const std::string& line, const std::string& key) {
  return line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
         line[key.size()] == '\t';
}

std::string SecondField(const std::string& line) {
  size_t tab = line.find('\t');
  if (tab == std::string::npos) return {};
  size_t next = line.find('\t', tab + 1);
  return line.substr(tab + 1, next == std::string::npos ? next : next - tab - 1);
}

}  // namespace

namespace detail {

std::vector<std::string> ParseHistoryFile(std::string_view bytes) {
  if (bytes.substr(0, 3) == kBom) bytes.remove_prefix(3);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    std::string_view line = bytes.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string FormatHistoryFile(const std::vector<std::string>& lines) {
  std::string out = kBom;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

std::string StoredHistory(const std::vector<std::string>& lines, const std::string& key) {
  for (const auto& line : lines)
    if (IsLineOf(line, key)) return SecondField(line);
  return {};
}

std::vector<std::string> OfferedEntries(const std::string& defaultText, std::string history,
                                        bool sorted) {
  history = TrimBars(ReplaceAll(history, "||", "|"));
  std::vector<std::string> entries;
  std::set<std::string> taken;
  size_t start = 0;
  while (!history.empty()) {
    size_t bar = history.find('|', start);
    std::string field = history.substr(start, bar == std::string::npos ? bar : bar - start);
    if (field.empty()) break;
    if (taken.insert(field).second) entries.push_back(field);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  if (sorted)
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return platform::CompareIgnoringCase(a, b) < 0;
    });
  std::vector<std::string> offered;
  if (!defaultText.empty()) offered.push_back(defaultText);
  for (const auto& e : entries)
    if (e != defaultText) offered.push_back(e);
  return offered;
}

std::vector<std::string> RememberEntry(std::vector<std::string> lines, const std::string& key,
                                       const std::string& text, int64_t maxHistory) {
  auto it = std::find_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return IsLineOf(line, key); });
  if (it == lines.end()) it = lines.insert(lines.end(), std::string());
  std::string items = "|" + ReplaceAll(SecondField(*it), "|", "||") + "|";
  items = ReplaceAll(items, "|" + text + "|", "");
  std::string record = text + "|" + items;
  while (record.find("||") != std::string::npos) record = ReplaceAll(record, "||", "|");
  record = TrimBars(record);
  if (maxHistory != kNoHistoryLimit) {
    int64_t keep = std::max<int64_t>(maxHistory, 1);
    while (std::count(record.begin(), record.end(), '|') + 1 > keep)
      record.erase(record.rfind('|'));
  }
  *it = key + "\t" + record;
  return lines;
}

}  // namespace detail

std::string InputRequesterWithHistory(const std::string& title, const std::string& message,
                                      const std::string& defaultText, const std::string& history,
                                      int parentWindow, int64_t flags, const std::string& id,
                                      int64_t maxHistory) {
  TOLVEK_TRACE("InputRequesterWithHistory");
  int focused = GetActiveGadget();
  bool hasParent = parentWindow != kNoParent && IsWindow(parentWindow);
  uint32_t windowFlags = kWindowTitleBar | kWindowTool | kWindowInvisible;
  if (flags & (IRH_ScreenCentered | IRH_ScreenCentered2)) windowFlags |= kWindowScreenCentered;
  int window = OpenWindow(kNewNumber, 0, 0, 300, 75, title, windowFlags,
                          hasParent ? parentWindow : kNoParent);
  int inner = WindowWidth(window) - 20;
  int y = 10;
  int grow = 0;
  if (!message.empty()) {
    int text = TextGadget(kNewNumber, 10, 10, inner, 20, message);
    SetGadgetName(text, "msg");
    int need = GadgetRequiredHeight(text);
    ResizeGadget(text, kKeepValue, kKeepValue, kKeepValue, need);
    grow += need + 10;
    y += need + 10;
  }
  int field = ComboBoxGadget(kNewNumber, 10, y, inner, 20, kComboEditable);
  SetGadgetName(field, "field");
  int fieldHeight = std::max(GadgetRequiredHeight(field), 20);
  ResizeGadget(field, kKeepValue, kKeepValue, kKeepValue, fieldHeight);
  grow += fieldHeight - 20;
  int buttonY = y + fieldHeight + 10;
  int ok = ButtonGadget(kNewNumber, WindowWidth(window) - 165, buttonY, 75, 25, "Ok");
  int cancel = ButtonGadget(kNewNumber, WindowWidth(window) - 85, buttonY, 75, 25, "Cancel");
  SetGadgetName(ok, "ok");
  SetGadgetName(cancel, "cancel");
  ResizeWindow(window, kKeepValue, kKeepValue, kKeepValue, 75 + grow);
  if (flags & (IRH_ScreenCentered | IRH_ScreenCentered2)) {
    auto monitors = Monitors();
    if (!monitors.empty())
      ResizeWindow(window, monitors[0].x + (monitors[0].width - WindowWidth(window)) / 2,
                   monitors[0].y + (monitors[0].height - WindowHeight(window)) / 2, kKeepValue,
                   kKeepValue);
  } else if ((flags & IRH_OverParent) && hasParent) {
    ResizeWindow(window,
                 WindowX(parentWindow) + (WindowWidth(parentWindow) - WindowWidth(window)) / 2,
                 WindowY(parentWindow) + (WindowHeight(parentWindow) - WindowHeight(window)) / 2,
                 kKeepValue, kKeepValue);
  }

  std::string key = detail::ProgramPath() + "-" + id;
  std::string offered = history;
  std::string path = (flags & IRH_Persistent) ? HistoryPath() : std::string();
  if (!path.empty()) {
    std::string bytes;
    if (detail::ReadFileBytes(path, bytes)) {
      auto lines = detail::ParseHistoryFile(bytes);
      bool stored = std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& l) { return IsLineOf(l, key); });
      if (stored) offered += "|" + detail::StoredHistory(lines, key);
    }
  }
  for (const auto& entry : detail::OfferedEntries(defaultText, offered, flags & IRH_Sorted))
    AddGadgetItem(field, -1, entry);
  SetGadgetText(field, defaultText);

  HideWindow(window, false);
  if (flags & IRH_StayOnTop) StickyWindow(window, true);
  bool disableParent = (flags & IRH_DisableParent) && parentWindow != kNoParent;
  if (disableParent) DisableWindow(parentWindow, true);
  if (flags & IRH_EscapeCancels) AddKeyboardShortcut(window, "Escape", kShortcutCancel);
  if (flags & IRH_ReturnConfirms) {
    AddKeyboardShortcut(window, "Return", kShortcutConfirm);
    AddKeyboardShortcut(window, "Enter", kShortcutConfirm);
  }
  SetActiveWindow(window);
  SetActiveGadget(field);

  bool confirmed = false, done = false;
  while (!done) {
    int event = WaitWindowEvent();
    // The program is to end: the box leaves as its Cancel does.
    if (IsEndRequested()) break;
    if (EventWindow() != window) continue;
    if (event == kEventCloseWindow) {
      done = true;
    } else if (event == kEventMenu) {
      done = EventMenu() == kShortcutCancel || EventMenu() == kShortcutConfirm;
      confirmed = EventMenu() == kShortcutConfirm;
    } else if (event == kEventGadget && EventSubtype() == kSubLeftClick) {
      done = EventGadget() == ok || EventGadget() == cancel;
      confirmed = EventGadget() == ok;
    }
  }

  std::string result = confirmed ? GetGadgetText(field) : std::string();
  // A text with line or field separators would break the file's lines: it is returned but
  // not remembered.
  bool storable = result.find_first_of("\t\r\n") == std::string::npos;
  if (confirmed && !result.empty() && storable && !path.empty()) {
    std::string bytes;
    // A file that exists but cannot be read is left alone rather than rewritten without
    // the other callers' lines.
    if (detail::ReadFileBytes(path, bytes) || !std::filesystem::exists(path)) {
      auto lines = detail::RememberEntry(detail::ParseHistoryFile(bytes), key, result, maxHistory);
      tolvek::WriteFileWhole(path, detail::FormatHistoryFile(lines));
    }
  }
  CloseWindow(window);
  if (disableParent && IsWindow(parentWindow)) DisableWindow(parentWindow, false);
  if (parentWindow != kNoParent && IsWindow(parentWindow)) {
    SetActiveWindow(parentWindow);
    if (focused >= 0) SetActiveGadget(focused);
  }
  return result;
}

}  // namespace gui
