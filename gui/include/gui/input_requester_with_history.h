// A modal one-line input box whose field offers earlier entries, kept per program and
// caller in a per-user history file shared by all callers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gui {

enum InputRequesterFlags : int64_t {
  IRH_Persistent = 1,
  IRH_StayOnTop = 2,
  IRH_DisableParent = 4,
  IRH_EscapeCancels = 8,
  IRH_ReturnConfirms = 16,
  IRH_ScreenCentered = 32,
  IRH_ScreenCentered2 = 64,
  IRH_Sorted = 128,
  IRH_OverParent = 256,  // centred over the parent window (when there is one)
};
constexpr int64_t kNoHistoryLimit = -65535;

// The entered text when confirmed (possibly ""), "" when cancelled.
std::string InputRequesterWithHistory(const std::string& title, const std::string& message,
                                      const std::string& defaultText, const std::string& history,
                                      int parentWindow, int64_t flags, const std::string& id,
                                      int64_t maxHistory);

namespace detail {
// The file's lines: byte-order mark skipped, CR LF or LF ends.
std::vector<std::string> ParseHistoryFile(std::string_view bytes);
// Byte-order mark, then every line with CR LF.
std::string FormatHistoryFile(const std::vector<std::string>& lines);
// The stored entries of key ("" when the file has no line for it).
std::string StoredHistory(const std::vector<std::string>& lines, const std::string& key);
// What the drop-down list offers, in order: default first, then the caller's entries, then
// the stored ones, without repeats.
std::vector<std::string> OfferedEntries(const std::string& defaultText, std::string history,
                                        bool sorted);
// The lines after text was confirmed under key: text first, older copies gone, cut to
// maxHistory entries.
std::vector<std::string> RememberEntry(std::vector<std::string> lines, const std::string& key,
                                       const std::string& text, int64_t maxHistory);
}  // namespace detail

}  // namespace gui
