#include "plugins/plugin_results.h"

#include <expat.h>

#include <memory>

#include "gui/pick_list_markup.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory_string.h"
#include "tolvek/text_codec.h"
#include "tolvek/text_utils.h"
#include "tolvek/visible_text.h"

namespace plugins {
namespace {

// A list sits five levels deep; a document nested far deeper is no result but an attempt to
// fill the parser's memory.
constexpr size_t kMaxXmlDepth = 256;

// What the parser collects: only the elements on the list's paths, so a deep or wide hostile
// document costs no memory beyond what is shown.
struct XmlReader {
  XML_Parser parser = nullptr;
  std::vector<std::string> path;  // element names from the document element down
  bool hasList = false;
  XmlListResult result;
  std::vector<std::string> titles, widths;
  struct Row {
    std::string style;
    std::vector<std::pair<std::string, std::string>> cells;  // style, text
  };
  std::vector<Row> rows;
  std::string* text = nullptr;  // where character data goes now
  size_t textDepth = 0;         // the depth of the element whose text it is
};

std::string Attribute(const XML_Char** attributes, const char* name) {
  for (size_t i = 0; attributes[i]; i += 2) {
    if (std::string_view(attributes[i]) == name) return attributes[i + 1];
  }
  return "";
}

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& r = *static_cast<XmlReader*>(data);
  if (r.path.size() >= kMaxXmlDepth) {
    XML_StopParser(r.parser, XML_FALSE);  // the document then counts as malformed
    return;
  }
  r.path.emplace_back(name);
  const size_t depth = r.path.size();
  const bool inList = depth >= 2 && r.path[0] == "lumivex-plugin-output" && r.path[1] == "list";
  if (!inList || r.text) return;
  if (depth == 2 && !r.hasList) {
    r.hasList = true;
    r.result.title = Attribute(attributes, "title");
    r.result.message = Attribute(attributes, "message");
    r.result.submitMessage = Attribute(attributes, "submitmessage");
    r.result.stateStoreName = Attribute(attributes, "statestorename");
  } else if (depth == 4 && r.path[2] == "head") {
    const std::string width = Attribute(attributes, "width");
    r.widths.push_back(width.empty() ? "*" : width);
    r.titles.emplace_back();
    r.text = &r.titles.back();
    r.textDepth = depth;
  } else if (depth == 4 && r.path[2] == "body") {
    r.rows.push_back({Attribute(attributes, "style"), {}});
  } else if (depth == 5 && r.path[2] == "body" && !r.rows.empty()) {
    r.rows.back().cells.emplace_back(Attribute(attributes, "style"), "");
    r.text = &r.rows.back().cells.back().second;
    r.textDepth = depth;
  }
}

void XMLCALL End(void* data, const XML_Char*) {
  auto& r = *static_cast<XmlReader*>(data);
  if (r.text && r.path.size() == r.textDepth) r.text = nullptr;
  r.path.pop_back();
}

void XMLCALL Characters(void* data, const XML_Char* s, int length) {
  auto& r = *static_cast<XmlReader*>(data);
  if (r.text) r.text->append(s, static_cast<size_t>(length));
}

// "|" between the parts, none in front of the first.
std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += '|';
    out += part;
  }
  return out;
}

std::vector<std::string> CsvFields(std::string_view line) {
  // A quote escaped with a backslash is kept aside while the separators are found.
  const std::string line1 = tolvek::ReplaceAll(line, "\\\"", "\x01");
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    const size_t at = line1.find("\",\"", start);
    std::string field = line1.substr(start, at == std::string::npos ? at : at - start);
    field = tolvek::ReplaceAll(tolvek::ReplaceAll(field, "\"", ""), "\x01", "\"");
    fields.push_back(std::move(field));
    if (at == std::string::npos) break;
    start = at + 3;
  }
  return fields;
}

}  // namespace

std::string DecodeResultText(std::string_view bytes, bool oemLetters) {
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  const bool marked = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                      bytes.starts_with("\xFE\xFF") ||
                      bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4));
  if (marked || tolvek::DeclaresUtf8Charset(text.data(), text.size())) {
    return tolvek::DecodeFileText(bytes);
  }
  if (tolvek::IsValidUtf8(text)) return std::string(text);
  std::string ansi(text);
  if (oemLetters) {
    // The OEM code page's letters ü ä Ä ö Ö Ü ß, as their ANSI bytes.
    static constexpr std::pair<char, char> kLetters[] = {
        {'\x81', '\xFC'}, {'\x84', '\xE4'}, {'\x8E', '\xC4'}, {'\x94', '\xF6'},
        {'\x99', '\xD6'}, {'\x9A', '\xDC'}, {'\xE1', '\xDF'},
    };
    for (char& c : ansi) {
      for (const auto& [oem, letter] : kLetters) {
        if (c == oem) {
          c = letter;
          break;
        }
      }
    }
  }
  return tolvek::AnsiToUtf8(ansi);
}

std::string ReadResultText(const std::string& path, bool oemLetters) {
  return DecodeResultText(tolvek::ReadFileBytes(path).value_or(""), oemLetters);
}

namespace {

std::string ResultCell(std::string_view text, std::string_view style) {
  // The plugin's own escapes decide where its cells end; what the parts hold is shown as it
  // is, so a line break or a leading brace can open no row and no style.
  std::string out;
  const std::vector<std::string> parts = gui::ResolveRowEscapes(text);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '|';
    out += gui::ListIconCell(tolvek::VisibleText(parts[i]), i == 0 ? style : "");
  }
  return out;
}

}  // namespace

std::optional<XmlListResult> ParseXmlResult(std::string_view utf8Text) {
  TOLVEK_TRACE("ParseXmlResult");
  // The text is UTF-8 whatever the document declares.
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"),
                                                                      &XML_ParserFree);
  if (!parser) return std::nullopt;
  XmlReader reader;
  reader.parser = parser.get();
  XML_SetUserData(parser.get(), &reader);
  XML_SetElementHandler(parser.get(), Start, End);
  XML_SetCharacterDataHandler(parser.get(), Characters);
  if (XML_Parse(parser.get(), utf8Text.data(), static_cast<int>(utf8Text.size()), 1) !=
      XML_STATUS_OK) {
    return std::nullopt;
  }
  if (!reader.hasList) return std::nullopt;
  XmlListResult result = reader.result;
  result.columns = Joined(reader.titles);
  result.widths = Joined(reader.widths);
  // Every cell keeps its column and every row its place, empty ones too.
  for (size_t r = 0; r < reader.rows.size(); ++r) {
    const XmlReader::Row& row = reader.rows[r];
    if (r) result.items += '\n';
    if (!row.cells.empty() && !row.style.empty()) result.items += "{{" + row.style + "}}";
    for (size_t c = 0; c < row.cells.size(); ++c) {
      if (c) result.items += '|';
      result.items += ResultCell(row.cells[c].second, row.cells[c].first);
    }
  }
  return result;
}

CsvResult ParseCsvResult(std::string_view text) {
  TOLVEK_TRACE("ParseCsvResult");
  const std::string plain = tolvek::ReplaceAll(text, "\r", "");
  CsvResult result;
  size_t start = 0;
  for (int line = 0; start <= plain.size(); ++line) {
    const size_t end = plain.find('\n', start);
    const std::string_view row =
        std::string_view(plain).substr(start, end == std::string::npos ? end : end - start);
    if (line == 0) {
      result.titles = CsvFields(tolvek::TrimBlanks(row, " "));
    } else if (line == 1) {
      result.widths = CsvFields(tolvek::TrimBlanks(row, " "));
    } else if (!(end == std::string::npos && row.empty())) {
      result.rows.push_back(CsvFields(row));
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}

}  // namespace plugins
