// Readers of the three result files a plugin may leave: an XML list, a CSV table, a text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plugins {

// A pick list as the XML result describes it; texts as the plugin wrote them (it escapes
// "|" and "\" itself).
struct XmlListResult {
  std::string title, message, submitMessage, stateStoreName;
  std::string columns, widths, items;
};
// nullopt when the text is not well-formed XML or has no list where the format puts it.
std::optional<XmlListResult> ParseXmlResult(std::string_view utf8Text);
// Console programs write a few letters in the DOS code page; they become the letters meant.
std::string ReplaceOemLetters(std::string_view utf8Text);

// A CSV result: the titles line, the widths line and the rows, each split into its fields
// (quotes removed, "\"" inside a field read as a quote).
struct CsvResult {
  std::vector<std::string> titles, widths;
  std::vector<std::vector<std::string>> rows;
};
CsvResult ParseCsvResult(std::string_view text);

}  // namespace plugins
