// Letter case as the toolkit knows it for all of Unicode, for searches and sorted lists
// that ignore case.
#pragma once

#include <string>
#include <string_view>

namespace platform {

char32_t LowerCodePoint(char32_t codePoint);
// The code points of a UTF-8 text in lower case; a damaged sequence reads as U+FFFD.
std::u32string LowerCaseCodePoints(std::string_view utf8);
// Below, at or above 0 as a sorts before, with or after b when case is ignored.
int CompareIgnoringCase(const std::string& a, const std::string& b);

}  // namespace platform
