// Line and field helpers shared by the readers of the graph view.
#pragma once
#include <string>
#include <string_view>

#include "tolvek/text_utils.h"

namespace graphview::detail {

// Walks a whole text line by line. A line ends at CR, LF, CR LF or LF CR; a UTF-8 byte-order
// mark at the start is skipped. The lines are views into the text.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text);
  bool Next(std::string_view& line);
  // Byte offset of the next line's start.
  size_t Position() const { return m_pos; }

 private:
  std::string_view m_text;
  size_t m_pos = 0;
};

using tolvek::ReplaceAll;
using tolvek::TrimBlanks;
// Spaces, tabs, CR and LF removed from both ends.
std::string_view TrimWhite(std::string_view text);

// The index-th (from 1) field of text split at sep; "" past the end.
std::string_view SplitField(std::string_view text, char sep, size_t index);

// The quoted id that starts at a quote in line: from the quote up to and including the next
// quote (or the line's end when none follows).
std::string_view QuotedIdAt(std::string_view line, size_t quote);

// The text inside the first quoted string that starts at or after from, where a backslash
// escapes the character after it (as dot writes quotes inside ids and labels); the escapes stay
// in the text. next receives the offset after the closing quote. "" when there is none.
std::string_view QuotedText(std::string_view line, size_t from, size_t* next = nullptr);

}  // namespace graphview::detail
