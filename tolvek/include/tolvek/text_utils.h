// Small procedures other parts share: prefixes, style strings, maxima, ANSI blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvek {

struct CssStyle {
  std::string name;   // lower case
  std::string value;  // lower case; "#bgr#", "#rgb#" and "$" colours become "#rrggbb"
};

bool StartsWith(std::string_view text, std::string_view prefix);
// Every occurrence of from replaced by to, in one pass from left to right ("|||" with "||"
// by "|" gives "||"); an empty from changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The text without the given blank characters at either end (blanks and tabs unless told).
std::string_view TrimBlanks(std::string_view text, std::string_view blanks = " \t");
// Picture transform: each character of target found in pattern takes the character of
// value at the position where it first stands in pattern (runs of it with group set).
std::string TranslateString(std::string_view value, std::string_view pattern,
                            std::string_view target, bool group);
void CssStyleParser(std::string_view style, std::vector<CssStyle>& list, bool removeSpaces);
int64_t MaxI(int64_t a, int64_t b);
double MaxD(double a, double b);
// A new memory block holding text in the ANSI code page plus one zero byte. Caller frees.
void* ToAscii(std::string_view text);
// Byte offset (or address, with returnPointer) of the first UTF-16 unit equal to
// character in a memory block; -1 when there is none.
int64_t FindCharacterInMemory(const void* memory, uint16_t character, bool returnPointer);

}  // namespace tolvek
