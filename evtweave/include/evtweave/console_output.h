// The converter's two kinds of console lines, on one stream and in order: progress lines
// (single-byte code page, LF) and the banner and error lines (UTF-8, CR LF).
#pragma once

#include <string>
#include <string_view>

namespace evtweave {

// Writes a progress line unless GATEWAY_INTERFACE contains "CGI" (read at every call).
void PrintProgress(std::string_view text);
// Writes a banner or error line; not affected by the CGI rule.
void PrintConsoleLine(std::string_view text);
// The six banner lines.
void PrintBanner();

// Test seam: receives every line with its line end already appended, as the bytes that
// would be written, instead of standard output. Null restores standard output.
using ConsoleSink = void (*)(std::string_view bytes);
void SetConsoleSink(ConsoleSink sink);

inline constexpr std::string_view kVersion = "1.2";
inline constexpr int kBuildNumber = 46;

}  // namespace evtweave
