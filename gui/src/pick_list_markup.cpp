#include "gui/pick_list_markup.h"

#include <cctype>

#include "gui/colour_font_strings.h"
#include "tolvek/callstack.h"

namespace gui::detail {

const char* const kSearchPlaceholder = "Enter search string ...";

namespace {

bool Starts(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "{{{" up to the first "}}}" at the start of text; npos when there is none.
size_t LeadingGroupEnd(std::string_view text, std::string_view open, std::string_view close) {
  if (!Starts(text, open)) return std::string_view::npos;
  size_t end = text.find(close, open.size());
  return end == std::string_view::npos ? end : end + close.size();
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::vector<std::string> SplitItemRows(std::string_view items) {
  std::vector<std::string> rows;
  size_t start = 0;
  for (;;) {
    size_t lf = items.find('\n', start);
    rows.emplace_back(items.substr(start, lf == std::string_view::npos ? lf : lf - start));
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return rows;
}

namespace {
// Escapes become Chr(2) (backslash) and Chr(1) (bar) until the cells are split.
std::string Protect(std::string_view row) {
  std::string out(row);
  for (size_t at = 0; (at = out.find("\\\\", at)) != std::string::npos; ++at)
    out.replace(at, 2, "\x02");
  for (size_t at = 0; (at = out.find("\\|", at)) != std::string::npos; ++at)
    out.replace(at, 2, "\x01");
  return out;
}
std::string Unprotect(std::string text) {
  for (char& c : text) {
    if (c == '\x01')
      c = '|';
    else if (c == '\x02')
      c = '\\';
  }
  return text;
}
std::vector<std::string> SplitCells(std::string_view protectedRow) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t bar = protectedRow.find('|', start);
    cells.emplace_back(
        protectedRow.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return cells;
}
}  // namespace

std::optional<std::string> ListStyleText(std::string_view items) {
  if (LeadingGroupEnd(items, "{{{", "}}}") == std::string_view::npos) return std::nullopt;
  size_t close = items.find('}', 3);
  return std::string(items.substr(3, close - 3));
}

MarkedRow ParseMarkedRow(std::string_view row, bool hasListMarkup, bool noMarkup) {
  MarkedRow marked;
  std::string text = Protect(row);
  if (noMarkup) {
    marked.cells = SplitCells(text);
  } else {
    if (hasListMarkup) {
      size_t end = LeadingGroupEnd(text, "{{{", "}}}");
      if (end != std::string::npos) text.erase(0, end);
    }
    if (Starts(text, "{{")) {
      size_t close = text.find('}', 2);
      if (close != std::string::npos) marked.rowStyle = text.substr(2, close - 2);
      size_t end = LeadingGroupEnd(text, "{{", "}}");
      if (end != std::string::npos) text.erase(0, end);
    }
    std::vector<std::string> cells = SplitCells(text);
    for (const auto& cell : cells) {
      std::string style;
      if (Starts(cell, "{")) {
        size_t close = cell.find('}');
        if (close != std::string::npos) style = cell.substr(1, close - 1);
      }
      marked.cellStyles.push_back(style);
    }
    // Cell markup runs from a cell's "{" to the next "}", which may lie in a later cell:
    // scanned over the cells joined by LF, where every cell starts a line.
    std::string joined;
    for (size_t i = 0; i < cells.size(); ++i) joined += (i ? "\n" : "") + cells[i];
    std::string kept;
    size_t pos = 0;
    for (size_t lineStart = 0; lineStart <= joined.size();) {
      if (lineStart >= pos && lineStart < joined.size() && joined[lineStart] == '{') {
        size_t close = joined.find('}', lineStart + 1);
        if (close != std::string::npos) {
          kept.append(joined, pos, lineStart - pos);
          pos = close + 1;
        }
      }
      size_t lf = joined.find('\n', lineStart);
      if (lf == std::string::npos) break;
      lineStart = lf + 1;
    }
    kept.append(joined, pos, std::string::npos);
    marked.cells.clear();
    size_t start = 0;
    for (;;) {
      size_t lf = kept.find('\n', start);
      marked.cells.push_back(kept.substr(start, lf == std::string::npos ? lf : lf - start));
      if (lf == std::string::npos) break;
      start = lf + 1;
    }
  }
  for (auto& cell : marked.cells) cell = Unprotect(std::move(cell));
  marked.rowStyle = Unprotect(std::move(marked.rowStyle));
  for (auto& style : marked.cellStyles) style = Unprotect(std::move(style));
  return marked;
}

std::vector<tolvek::CssStyle> ParseStyleText(std::string_view style) {
  std::vector<tolvek::CssStyle> entries;
  if (!style.empty()) tolvek::CssStyleParser(style, entries, true);
  return entries;
}

namespace {
bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}
const std::initializer_list<const char*> kLockKeys = {"unselectable", "locked", "disabled"};
const std::initializer_list<const char*> kFrontKeys = {"color", "fontcolor", "font-color",
                                                       "fgc",   "fg",        "fc"};
const std::initializer_list<const char*> kBackKeys = {"backgroundcolor", "background-color", "bgc",
                                                      "bg", "bc"};
const std::initializer_list<const char*> kImageKeys = {"image", "image#", "imageid", "image-id"};
}  // namespace

RowLook ComputeRowLook(const std::vector<tolvek::CssStyle>& listStyle, const MarkedRow& row) {
  RowLook look;
  auto apply = [&look](const std::vector<tolvek::CssStyle>& entries) {
    for (const auto& e : entries) {
      if (IsOneOf(e.name, kLockKeys))
        look.locked = true;
      else if (IsOneOf(e.name, kFrontKeys))
        look.front = GetRgbFromString(e.value);
      else if (IsOneOf(e.name, kBackKeys))
        look.back = GetRgbFromString(e.value);
    }
  };
  apply(listStyle);
  std::vector<tolvek::CssStyle> rowEntries = ParseStyleText(row.rowStyle);
  apply(rowEntries);
  for (const auto& e : rowEntries)
    if (IsOneOf(e.name, kImageKeys)) {
      look.image = e.value;
      break;
    }
  look.cellFront.resize(row.cellStyles.size());
  look.cellBack.resize(row.cellStyles.size());
  for (size_t c = 0; c < row.cellStyles.size(); ++c)
    for (const auto& e : ParseStyleText(row.cellStyles[c])) {
      if (IsOneOf(e.name, kFrontKeys))
        look.cellFront[c] = GetRgbFromString(e.value);
      else if (IsOneOf(e.name, kBackKeys))
        look.cellBack[c] = GetRgbFromString(e.value);
    }
  return look;
}

std::optional<std::string> ListFontDescription(const std::vector<tolvek::CssStyle>& listStyle) {
  for (const auto& e : listStyle)
    if (e.name == "font") return e.value;
  return std::nullopt;
}

std::string NormalisePreset(std::string_view preset) {
  std::string text(preset);
  if (!text.empty()) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    text += '\n';
  }
  // Brace groups: a run of "{", text without braces, a run of "}".
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '{') {
      size_t j = i;
      while (j < text.size() && text[j] == '{') ++j;
      size_t k = j;
      while (k < text.size() && text[k] != '{' && text[k] != '}') ++k;
      if (k < text.size() && text[k] == '}') {
        while (k < text.size() && text[k] == '}') ++k;
        i = k;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::string PresetComparisonText(std::string_view rawRow, bool hasListMarkup, bool noMarkup) {
  std::string text(rawRow);
  if (noMarkup) return text;
  if (hasListMarkup) {
    size_t end = LeadingGroupEnd(text, "{{{", "}}}");
    if (end != std::string::npos) text.erase(0, end);
  }
  size_t end = LeadingGroupEnd(text, "{{", "}}");
  if (end != std::string::npos) text.erase(0, end);
  if (Starts(text, "{")) {
    size_t close = text.find('}');
    if (close != std::string::npos) text.erase(0, close + 1);
  }
  return text;
}

bool ContainsWholeLine(std::string_view text, std::string_view line) {
  std::string haystack = "\n" + std::string(text);
  std::string needle = "\n" + std::string(line) + "\n";
  return haystack.find(needle) != std::string::npos;
}

std::string ResultRowText(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += '|';
    for (char c : cells[i]) {
      if (c == '\\')
        out += "\\\\";
      else if (c == '|')
        out += "\\|";
      else
        out += c;
    }
  }
  return out;
}

std::string RowLine(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) out += (i ? "|" : "") + cells[i];
  return out;
}

bool PickListFilterAccepts(std::string_view search, std::string_view rowText) {
  if (search == kSearchPlaceholder || search.empty()) return true;
  std::string row = Lower(rowText);
  std::string s = Lower(search);
  auto contains = [&row](std::string_view part) {
    return !part.empty() && row.find(part) != std::string::npos;
  };
  if (contains(s)) return true;
  if (Starts(s, "!=")) return !contains(std::string_view(s).substr(2));
  if (Starts(s, "<>")) return !contains(std::string_view(s).substr(2));
  if (Starts(s, "!")) return !contains(std::string_view(s).substr(1));
  return false;
}

}  // namespace gui::detail

namespace gui {

std::vector<std::string> ResolveRowEscapes(std::string_view row) {
  std::vector<std::string> cells = detail::SplitCells(detail::Protect(row));
  for (auto& cell : cells) cell = detail::Unprotect(std::move(cell));
  return cells;
}

std::string ListIconCell(std::string_view text, std::string_view style) {
  std::string out;
  out.reserve(text.size() + style.size() + 2);
  if (!style.empty() || (!text.empty() && text.front() == '{')) {
    out.append("{").append(style).append("}");
  }
  for (char c : text) {
    if (c == '\\' || c == '|') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace gui
