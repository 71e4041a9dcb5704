#include "text_lines.h"

#include <algorithm>

namespace graphview::detail {

LineCursor::LineCursor(std::string_view text) : m_text(text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") m_pos = 3;
}

bool LineCursor::Next(std::string_view& line) {
  if (m_pos >= m_text.size()) return false;
  // A plain loop: find_first_of would search the two-character set once per character.
  size_t end = m_pos;
  while (end < m_text.size() && m_text[end] != '\r' && m_text[end] != '\n') ++end;
  if (end == m_text.size()) {
    line = m_text.substr(m_pos);
    m_pos = m_text.size();
    return true;
  }
  line = m_text.substr(m_pos, end - m_pos);
  size_t next = end + 1;
  if (next < m_text.size() && m_text[next] != m_text[end] &&
      (m_text[next] == '\r' || m_text[next] == '\n')) {
    ++next;
  }
  m_pos = next;
  return true;
}

std::string_view TrimWhite(std::string_view text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

std::string_view SplitField(std::string_view text, char sep, size_t index) {
  size_t start = 0;
  for (size_t i = 1; i < index; ++i) {
    size_t at = text.find(sep, start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  size_t end = text.find(sep, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string_view QuotedIdAt(std::string_view line, size_t quote) {
  size_t close = line.find('"', quote + 1);
  if (close == std::string_view::npos) return line.substr(quote);
  return line.substr(quote, close - quote + 1);
}

std::string_view QuotedText(std::string_view line, size_t from, size_t* next) {
  size_t open = line.find('"', from);
  if (open == std::string_view::npos) {
    if (next) *next = line.size();
    return {};
  }
  size_t i = open + 1;
  while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
  size_t close = std::min(i, line.size());
  if (next) *next = std::min(close + 1, line.size());
  return line.substr(open + 1, close - open - 1);
}

}  // namespace graphview::detail
