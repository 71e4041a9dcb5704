// Plain single-byte console lines of the converter.
#pragma once

#include <string>
#include <string_view>

namespace tolvek {

// Writes text + LF in the ANSI code page to standard output in one unbuffered write.
void PrintLineAscii(std::string_view text);
// Text reduced to what the ANSI code page holds ("?" for the rest).
std::string AsciiString(std::string_view text);
void SetConsoleOutputFlag(bool flag);
bool GetConsoleOutputFlag();

}  // namespace tolvek
