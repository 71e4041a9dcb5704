// Splitting delimited text lines into fields.
#pragma once

#include <string>
#include <string_view>

namespace tolvek {

// Field number index (from 1) of line split at separator, or def when there are fewer
// fields. The split of the last line is kept, so asking for each field of a line in turn
// splits it once.
std::string CsvField(std::string_view line, int64_t index, std::string_view separator,
                     std::string_view def);
// One record of quoted, comma-separated fields as a single string with the fields
// separated by Chr(1); doubled quotes inside a field stay doubled.
std::string CsvLine2FieldString(std::string_view line);

}  // namespace tolvek
