// Readers of the three result files a plugin may leave: an XML list, a CSV table, a text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plugins {

// A pick list as the XML result describes it. The plugin escapes "|" and "\" in its cells
// itself; anything else in them (a line break, a leading brace) shows as it is.
struct XmlListResult {
  std::string title, message, submitMessage, stateStoreName;
  std::string columns, widths, items;
};
// nullopt when the text is not well-formed XML or has no list where the format puts it.
std::optional<XmlListResult> ParseXmlResult(std::string_view utf8Text);

// A result file's text as UTF-8: a byte-order mark or a declared UTF-8 decides; else text
// that is valid UTF-8 is taken as it is and anything else as the ANSI code page, where with
// oemLetters the letters console programs write in the DOS code page (ü ä Ä ö Ö Ü ß) become
// the letters meant.
std::string DecodeResultText(std::string_view bytes, bool oemLetters);
std::string ReadResultText(const std::string& path, bool oemLetters);

// A CSV result: the titles line, the widths line and the rows, each split into its fields
// (quotes removed, "\"" inside a field read as a quote).
struct CsvResult {
  std::vector<std::string> titles, widths;
  std::vector<std::vector<std::string>> rows;
};
CsvResult ParseCsvResult(std::string_view text);

}  // namespace plugins
