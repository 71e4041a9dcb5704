// The pick list's item text: rows, escaped cells, list/row/cell style markup, presets.
// Pure functions over text; the requester applies their result to its list gadget.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvek/text_utils.h"

namespace gui::detail {

// Rows at every LF; "" gives one empty row, a trailing LF a last empty row.
std::vector<std::string> SplitItemRows(std::string_view items);

// The list style text when items begins with "{{{" and holds "}}}"; nullopt otherwise.
std::optional<std::string> ListStyleText(std::string_view items);

struct MarkedRow {
  std::vector<std::string> cells;       // markup removed
  std::string rowStyle;                 // "" when none
  std::vector<std::string> cellStyles;  // per original cell, "" when none
};
MarkedRow ParseMarkedRow(std::string_view row, bool hasListMarkup, bool noMarkup);

// What a row looks like on screen, from the list's and the row's style entries.
struct RowLook {
  bool locked = false;
  std::optional<uint32_t> front, back;
  std::optional<std::string> image;  // the value of the first image key
  std::vector<std::optional<uint32_t>> cellFront, cellBack;
};
std::vector<tolvek::CssStyle> ParseStyleText(std::string_view style);
RowLook ComputeRowLook(const std::vector<tolvek::CssStyle>& listStyle, const MarkedRow& row);
// The value of the list style's first "font" entry, if any.
std::optional<std::string> ListFontDescription(const std::vector<tolvek::CssStyle>& listStyle);

// Trailing LFs dropped and one appended (when not empty); every brace group removed.
std::string NormalisePreset(std::string_view preset);
// A raw item line as the first preset pass compares it: leading list, row and first-cell
// markup removed, escapes kept.
std::string PresetComparisonText(std::string_view rawRow, bool hasListMarkup, bool noMarkup);
// True when line equals a whole line of the (normalised) text.
bool ContainsWholeLine(std::string_view text, std::string_view line);

// Cells with "\" doubled and "|" escaped, joined by "|".
std::string ResultRowText(const std::vector<std::string>& cells);
// Cells joined by "|" as they are: the remembered-selection form.
std::string RowLine(const std::vector<std::string>& cells);

// The search filter: does search text s let a row (cells joined by LF) through?
bool PickListFilterAccepts(std::string_view search, std::string_view rowText);
extern const char* const kSearchPlaceholder;

}  // namespace gui::detail

namespace gui {

// One cell of item text that shows text exactly as it is: "\" and "|" escaped, and the
// cell's style (none when empty) always written in front when text opens with "{", so that
// text can neither end its cell nor open a list, row or cell style. Every text from outside
// (a log, a session, a filter file) goes into a pick list through this.
std::string ListIconCell(std::string_view text, std::string_view style = {});
// The cells of one row of item text, or of a list's answer: "\\" is a backslash, "\|" a
// bar, other "|" separate cells.
std::vector<std::string> ResolveRowEscapes(std::string_view row);

}  // namespace gui
