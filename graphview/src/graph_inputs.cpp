#include "graphview/graph_inputs.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "text_lines.h"
#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"

namespace graphview {
namespace {

constexpr std::array<std::string_view, 8> kRequiredColumns = {
    "time of day", "process name", "pid", "operation", "path", "result", "detail", "tid"};

enum class LogEncoding { kUtf8, kAnsi, kUtf16Le, kUtf16Be };

// The log's bytes seen as code units of its encoding, so that quotes and line breaks are
// found at unit boundaries whatever the encoding.
struct LogUnits {
  std::string_view bytes;
  LogEncoding encoding = LogEncoding::kUtf8;
  size_t start = 0;  // first byte after a byte-order mark
  size_t width = 1;

  explicit LogUnits(std::string_view b) : bytes(b) {
    auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (b.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) {
      start = 3;
    } else if (b.size() >= 2 && u(0) == 0xFF && u(1) == 0xFE) {
      encoding = LogEncoding::kUtf16Le, start = 2, width = 2;
    } else if (b.size() >= 2 && u(0) == 0xFE && u(1) == 0xFF) {
      encoding = LogEncoding::kUtf16Be, start = 2, width = 2;
    } else if (b.size() >= 2 && u(0) != 0 && u(1) == 0) {
      encoding = LogEncoding::kUtf16Le, width = 2;
    } else if (!tolvek::IsValidUtf8(b)) {
      encoding = LogEncoding::kAnsi;
    }
  }
  // The code unit at byte offset at (a unit boundary inside the bytes).
  uint32_t At(size_t at) const {
    auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
    if (width == 1) return u(at);
    return encoding == LogEncoding::kUtf16Le ? u(at) | (u(at + 1) << 8) : (u(at) << 8) | u(at + 1);
  }
  // Byte offset one past the last whole unit.
  size_t End() const { return start + (bytes.size() - start) / width * width; }

  std::string ToUtf8(size_t from, size_t to) const {
    std::string_view part = bytes.substr(from, to - from);
    switch (encoding) {
      case LogEncoding::kUtf8:
        return std::string(part);
      case LogEncoding::kAnsi:
        return tolvek::AnsiToUtf8(part);
      case LogEncoding::kUtf16Le:
        return tolvek::Utf16LeToUtf8(part.data(), part.size() / 2);
      case LogEncoding::kUtf16Be: {
        std::string swapped(part);
        for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        return tolvek::Utf16LeToUtf8(swapped.data(), swapped.size() / 2);
      }
    }
    return {};
  }
  std::string FromUtf8(std::string_view text) const {
    switch (encoding) {
      case LogEncoding::kUtf8:
        return std::string(text);
      case LogEncoding::kAnsi:
        return tolvek::Utf8ToAnsi(text);
      case LogEncoding::kUtf16Le:
        return tolvek::Utf8ToUtf16Le(text);
      case LogEncoding::kUtf16Be: {
        std::string units = tolvek::Utf8ToUtf16Le(text);
        for (size_t i = 0; i + 1 < units.size(); i += 2) std::swap(units[i], units[i + 1]);
        return units;
      }
    }
    return {};
  }
};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The three rows' cells for one required column (row 1, 2, 3), empty for other columns.
std::array<std::string, 3> LauncherCells(std::string_view column, std::string_view pid,
                                         std::string_view name) {
  if (column == "process name") return {"", "kalvo-cpp.exe", "kalvo-cpp.exe"};
  if (column == "pid") return {"", "*1*", "*2*"};
  if (column == "operation") return {"", "Process Create", "Process Create"};
  if (column == "path") return {"KALVO_EXECUTES_SAMPLE_kalvo.bat", "", ""};
  if (column == "result") return {"SUCCESS", "SUCCESS", "SUCCESS"};
  if (column == "detail") {
    std::string chosen = "PID: " + std::string(pid) + ", Command line: " + std::string(name);
    chosen = detail::ReplaceAll(chosen, "\"", "\"\"");
    return {"", "PID: *2*, Command line: ++++++++", chosen};
  }
  return {"", "", ""};
}

bool ParsePosition(std::string_view text, size_t& position) {
  if (text.empty() || text.size() > 15) return false;
  position = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    position = position * 10 + static_cast<size_t>(c - '0');
  }
  return true;
}

// The line break that ends the record before byte position p, or "" when p is not the start
// of a record: inside the log, just after a line break that is outside quotes.
std::string LineBreakBefore(const LogUnits& log, size_t p) {
  const size_t w = log.width;
  if (p < log.start + w || p >= log.End() || (p - log.start) % w != 0) return {};
  bool inQuotes = false;
  for (size_t at = log.start; at < p; at += w) {
    if (log.At(at) == '"') inQuotes = !inQuotes;
  }
  if (inQuotes) return {};
  uint32_t last = log.At(p - w);
  uint32_t before = p >= log.start + 2 * w ? log.At(p - 2 * w) : 0;
  if (last == '\n') return before == '\r' ? "\r\n" : "\n";
  if (last == '\r' && log.At(p) != '\n') return before == '\n' ? "\n\r" : "\r";
  return {};
}

// The record that starts at p as the launcher scan reads it: physical lines joined without
// their line breaks until one ends with a double quote. cut tells that the bytes ended first.
std::string RecordAt(const LogUnits& log, size_t p, bool& cut) {
  std::string record;
  size_t at = p;
  for (;;) {
    size_t end = at;
    while (end < log.End() && log.At(end) != '\r' && log.At(end) != '\n') end += log.width;
    record += log.ToUtf8(at, end);
    cut = end >= log.End();
    if (cut || (!record.empty() && record.back() == '"')) return record;
    at = end + log.width;
    if (at < log.End() && log.At(end) == '\r' && log.At(at) == '\n') at += log.width;
  }
}

// The record's fields at the 0-based column numbers, read as the launcher scan reads them:
// the outer quotes dropped, split at every quote-comma-quote, in the list's escape form.
std::vector<std::string> RecordFields(std::string_view record, const std::vector<size_t>& wanted) {
  std::vector<std::string> fields(wanted.size());
  if (record.size() < 2) return fields;
  record = record.substr(1, record.size() - 2);
  size_t number = 0, start = 0;
  for (;;) {
    size_t end = record.find("\",\"", start);
    std::string_view field =
        record.substr(start, end == std::string_view::npos ? end : end - start);
    for (size_t k = 0; k < wanted.size(); ++k) {
      if (wanted[k] == number) fields[k] = LauncherFieldText(field);
    }
    if (end == std::string_view::npos) break;
    start = end + 3;
    ++number;
  }
  return fields;
}

}  // namespace

std::string LauncherFieldText(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\'') {
      out += "_0x27_";
    } else if (field[i] == '"' && i + 1 < field.size() && field[i + 1] == '"') {
      out += "_0x22_";
      ++i;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::string BuildModeString(const ModeBoxes& boxes) {
  std::string mode = "lumivex";
  if (boxes.noPaths) mode += ",nopaths";
  if (boxes.compressed) mode += ",compressed";
  if (boxes.dumb) mode += ",dumb";
  if (boxes.filesReadOnly) mode += ",rof";
  if (boxes.forceAscii) mode += ",forceascii";
  return mode;
}

std::vector<std::string> CsvHeaderColumns(std::string_view logBytes) {
  TOLVEK_TRACE("CsvHeaderColumns");
  LogUnits log(logBytes);
  size_t end = log.start;
  while (end < log.End() && log.At(end) != '\r' && log.At(end) != '\n') end += log.width;
  std::string header = LowerAscii(log.ToUtf8(log.start, end));
  std::erase(header, '"');
  std::vector<std::string> columns;
  size_t from = 0;
  while (true) {
    size_t comma = header.find(',', from);
    columns.push_back(header.substr(from, comma == std::string::npos ? comma : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return columns;
}

bool CheckCsvHeader(std::string_view logBytes) {
  std::vector<std::string> columns = CsvHeaderColumns(logBytes);
  return std::all_of(kRequiredColumns.begin(), kRequiredColumns.end(), [&](std::string_view c) {
    return std::find(columns.begin(), columns.end(), c) != columns.end();
  });
}

std::vector<std::string> ConverterArguments(const std::string& csvPath, const std::string& dotPath,
                                            const std::string& mode,
                                            const std::string& capturePath) {
  return {csvPath, dotPath, mode, capturePath};
}

std::string QuotedParameters(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text += '"' + argument + '"';
  }
  return text;
}

bool IsPcapCapture(std::string_view capturePath) {
  return capturePath.size() >= 5 &&
         LowerAscii(std::string(capturePath.substr(capturePath.size() - 5))) == ".pcap";
}

std::vector<std::string> CaptureToolArguments(const std::string& capturePath) {
  return {"-n", "-p", "-r", capturePath};
}

bool LauncherPosition(std::string_view launcherText, size_t& position) {
  return ParsePosition(detail::SplitField(launcherText, '|', 1), position);
}

bool LogEncodingKnownFromStart(std::string_view head) {
  LogUnits log(head.substr(0, 3));
  return log.start > 0 || log.width == 2;
}

LauncherRows MakeLauncherRows(std::string_view logBytes, std::string_view launcherText) {
  TOLVEK_TRACE("MakeLauncherRows");
  LauncherRows out;
  size_t p = 0;
  if (!LauncherPosition(launcherText, p)) {
    out.message = "The launcher's byte position is not a number; no launcher rows were added.";
    return out;
  }
  LogUnits log(logBytes);
  std::string lineBreak = LineBreakBefore(log, p);
  if (lineBreak.empty()) {
    out.message = "The launcher's byte position " + std::to_string(p) +
                  " is not the start of a record of this Procmon file; no launcher rows were "
                  "added.";
    return out;
  }
  std::string_view pid = detail::SplitField(launcherText, '|', 2);
  std::string_view name = detail::SplitField(launcherText, '|', 3);
  std::vector<std::string> columns = CsvHeaderColumns(logBytes);
  // A name that stands twice in the header counts at its later place, as in the scan.
  std::vector<size_t> wanted(2);
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c] == "pid") wanted[0] = c;
    if (columns[c] == "process name") wanted[1] = c;
  }
  std::vector<std::string> named = RecordFields(RecordAt(log, p, out.recordCut), wanted);
  if (named[0] != pid || named[1] != name) {
    out.message = "The record at byte position " + std::to_string(p) + " of this Procmon file " +
                  "is not of PID " + std::string(pid) + " (" + std::string(name) +
                  "); no launcher rows were added.";
    return out;
  }
  std::string rows;
  for (size_t r = 0; r < 3; ++r) {
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) rows += ',';
      rows += '"' + LauncherCells(columns[c], pid, name)[r] + '"';
    }
    rows += lineBreak;
  }
  out.rows = log.FromUtf8(rows);
  out.position = p;
  out.ok = true;
  return out;
}

LauncherCopy BuildLauncherCopy(std::string_view logBytes, std::string_view launcherText) {
  LauncherRows rows = MakeLauncherRows(logBytes, launcherText);
  LauncherCopy copy;
  copy.ok = rows.ok;
  copy.message = std::move(rows.message);
  if (!rows.ok) return copy;
  copy.bytes.reserve(logBytes.size() + rows.rows.size());
  copy.bytes.append(logBytes.substr(0, rows.position))
      .append(rows.rows)
      .append(logBytes.substr(rows.position));
  return copy;
}

std::vector<std::string> CollectAutostartIds(std::string_view dotText) {
  TOLVEK_TRACE("CollectAutostartIds");
  std::vector<std::string> ids;
  detail::LineCursor lines(dotText);
  std::string_view line;
  while (lines.Next(line)) {
    if (line.find("(AUTOSTART!)") == std::string_view::npos) continue;
    if (line.find("\" -> \"") != std::string_view::npos) continue;
    size_t at = line.find("\"REGISTRYKEY:");
    if (at == std::string_view::npos) at = line.find("\"REGISTRY");
    if (at == std::string_view::npos) continue;
    std::string id(detail::QuotedIdAt(line, at));
    if (id.back() != '"' || id.size() == 1) id += '"';
    ids.push_back(std::move(id));
  }
  return ids;
}

}  // namespace graphview
