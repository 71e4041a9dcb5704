// Hex forms of bytes and texts, and preference groups named by the hex form of any text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvek {

// Two upper-case digits per byte of the first size bytes (-1: the block's allocated size);
// "" for a null block.
std::string HexifyData(const void* memory, int64_t size = -1);
// Unicode: "0000" + the hex form of the UTF-16LE bytes ("0000" for ""). Otherwise the hex
// form of the text in the ANSI code page ("" for "").
std::string HexifyString(std::string_view text, bool unicode);
// A new block of length / 2 decoded bytes (the caller frees it); null below 2 digits.
// Digits other than 0-9 and A-F are not rejected: they decode by the same arithmetic.
void* UnHexifyData(std::string_view hex);
// The text behind either flavour; a leading "0000" marks the Unicode one.
std::string UnHexifyString(std::string_view hex);

// Selects, in the open preference file, the group named by the Unicode hex form of name;
// true when it exists. A missing group is made by the next key written.
bool PreferenceGroupHexified(std::string_view name);
// The current group's name decoded from its hex form, while the groups are listed.
std::string PreferenceGroupNameHexified();

}  // namespace tolvek
