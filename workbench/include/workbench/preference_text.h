// The line grammar of the workbench's preference files (session files above all), read the
// way the shared preference reader reads it: "[name]" lines open groups, "key = value" lines
// hold keys, lines beginning with ";" and any other text are kept as they are. Pure functions
// over text, so the session keys and the session's filter groups agree on one format.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvek/text_utils.h"

namespace workbench::preference_text {

using tolvek::TrimBlanks;
// Equal without regard to ASCII letter case, as keys and group names compare.
bool EqualFolded(std::string_view a, std::string_view b);
// The lines without their ends (LF, CR LF or a lone CR); a UTF-8 byte-order mark is not part
// of the first line.
std::vector<std::string_view> SplitLines(std::string_view text);
bool IsGroupLine(std::string_view line);
// The name inside the brackets of a group line.
std::string_view GroupNameOf(std::string_view line);
// The key of a key line, or nullopt for comments, blank lines and other text.
std::optional<std::string_view> KeyOf(std::string_view line);
// The value of a key line: one blank after "=" belongs to the layout, anything more is the
// value's own.
std::string_view ValueOf(std::string_view line);

// A file's bytes; "" when there is no file; nullopt when something is there that cannot be
// read, which must never be taken for an empty file (errno then tells why).
std::optional<std::string> ReadTextFile(const std::string& path);

}  // namespace workbench::preference_text
