#include "tolvek/csv.h"

#include <cstring>
#include <vector>

#include "tolvek/callstack.h"

namespace tolvek {
namespace {

// The split of the most recent line, so a caller asking for its fields one after another
// splits it once.
struct CsvFieldCache {
  std::string line;
  std::string separator;
  std::vector<std::string> fields;  // fields[0] is field number 1
};
CsvFieldCache gCache;

std::string Undouble(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') ++i;
  }
  return out;
}

void Split(std::string_view line, std::string_view sep, std::vector<std::string>& fields) {
  const size_t L = line.size();
  const size_t S = sep.size();
  size_t start = 0;  // 0-based start of the current field
  bool inQuotes = false;
  for (size_t i = 0; i < L; ++i) {
    size_t end = std::string_view::npos;
    char c = line[i];
    if (c == '"') {
      if (!inQuotes) {
        inQuotes = true;
        ++start;  // an opening quote is not part of the field
        continue;
      }
      if (i + 1 < L && line[i + 1] == '"') {
        ++i;
        continue;
      }
      end = i;
      i += S;  // the separator taken to follow the closing quote is passed over unread
    } else if (!inQuotes) {
      if (line.compare(i, S, sep) == 0) {
        end = i;
        i += S - 1;
      } else if (i == L - 1) {
        end = L;
      }
    }
    if (end != std::string_view::npos) {
      size_t from = start < end ? start : end;
      fields.push_back(Undouble(line.substr(from, end - from)));
      start = i + 1;
      inQuotes = false;
    }
  }
}

}  // namespace

std::string CsvField(std::string_view line, int64_t index, std::string_view separator,
                     std::string_view def) {
  TOLVEK_TRACE("CsvField");
  if (separator.empty()) return std::string(def);
  if (line != gCache.line || separator != gCache.separator) {
    gCache.fields.clear();
    if (!line.empty()) Split(line, separator, gCache.fields);
    gCache.line.assign(line);
    gCache.separator.assign(separator);
  }
  if (index < 1 || static_cast<uint64_t>(index) > gCache.fields.size()) return std::string(def);
  return gCache.fields[static_cast<size_t>(index - 1)];
}

std::string CsvLine2FieldString(std::string_view line) {
  TOLVEK_TRACE("CsvLine2FieldString");
  if (line.find("\"\"") == std::string_view::npos) {
    // Nearly every record: no doubled quote, so quote-comma-quote only ever separates.
    std::string out;
    out.reserve(line.size());
    size_t pos = 0;
    while (true) {
      size_t hit = line.find("\",\"", pos);
      if (hit == std::string_view::npos) break;
      out.append(line.substr(pos, hit - pos));
      out.push_back('\x01');
      pos = hit + 3;
    }
    out.append(line.substr(pos));
    if (out.size() < 2) return {};
    return out.substr(1, out.size() - 2);
  }
  std::string out;
  out.reserve(line.size());
  bool inQuotes = false;
  const size_t last = line.size() - 1;  // the closing quote of the last field is never examined
  for (size_t i = 0; i < last; ++i) {
    char c = line[i];
    if (c == '"' && !inQuotes) {
      inQuotes = true;
    } else if (c == '"' && i + 1 < last) {
      if (line[i + 1] == '"') {
        out.append("\"\"");
        ++i;
      } else {
        inQuotes = false;
      }
    } else if (c == ',' && !inQuotes) {
      out.push_back('\x01');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace tolvek
