// The converter's inputs, prepared as text: the mode string, the header check of the log,
// the log's copy with the launcher rows, the argument vectors of the converter and of the
// capture tool, and the autostart ids the converter marked in its DOT file.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace graphview {

struct ModeBoxes {
  bool noPaths = false;
  bool compressed = false;
  bool dumb = false;
  bool filesReadOnly = false;
  bool forceAscii = false;
};

// "lumivex" followed by the words of the boxes that are on, in a fixed order.
std::string BuildModeString(const ModeBoxes& boxes);

// The column names of the log's first line: lower-cased, quotes removed, split at ",". The
// encoding is told by a byte-order mark or the text itself, as the converter tells it.
std::vector<std::string> CsvHeaderColumns(std::string_view logBytes);
// True when every column the converter needs is in the header.
bool CheckCsvHeader(std::string_view logBytes);

// The converter's arguments: log, graph DOT file, mode string, capture text ("" for none).
std::vector<std::string> ConverterArguments(const std::string& csvPath, const std::string& dotPath,
                                            const std::string& mode,
                                            const std::string& capturePath);
// Arguments as the log shows them: each in double quotes, joined by single blanks.
std::string QuotedParameters(const std::vector<std::string>& arguments);

// True for a capture file that the capture tool must first turn into text.
bool IsPcapCapture(std::string_view capturePath);
std::vector<std::string> CaptureToolArguments(const std::string& capturePath);

struct LauncherRows {
  bool ok = false;
  size_t position = 0;     // where the rows go
  std::string rows;        // in the log's encoding and line break
  std::string message;     // why there are none
  bool recordCut = false;  // the bytes end inside the record at the position
};

// The three launcher rows for the record the launcher text ("position|pid|name") points at.
// The position must be the start of a record of this log (inside it, just after a line break
// outside quotes) whose PID and process name are the launcher's, as the launcher list shows
// them: a launcher chosen in another log names another process there, or none. The rows are
// written in the log's own encoding and line break. The bytes must hold that whole record.
LauncherRows MakeLauncherRows(std::string_view logBytes, std::string_view launcherText);

// A field of a log record as the launcher list shows it: "'" as _0x27_ and a doubled quote
// as _0x22_, so that they survive the pick list and the session file.
std::string LauncherFieldText(std::string_view field);

// The byte position of a launcher text; false when it has none.
bool LauncherPosition(std::string_view launcherText, size_t& position);
// True when the first bytes of a log tell its encoding (a byte-order mark, or UTF-16 text);
// otherwise only all of its bytes tell UTF-8 from ANSI.
bool LogEncodingKnownFromStart(std::string_view head);

struct LauncherCopy {
  bool ok = false;
  std::string bytes;    // the whole copy when ok
  std::string message;  // why no copy was made
};

// The log with the launcher rows inserted where they belong.
LauncherCopy BuildLauncherCopy(std::string_view logBytes, std::string_view launcherText);

// The quoted ids of the registry nodes the converter marked "(AUTOSTART!)", in file order.
std::vector<std::string> CollectAutostartIds(std::string_view dotText);

}  // namespace graphview
