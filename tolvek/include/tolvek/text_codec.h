// Conversions between the text forms the programs meet: UTF-8 inside, Windows-1252 as the
// ANSI code page, UTF-16LE where a stored format asks for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvek {

// Windows-1252 bytes to UTF-8. Undefined bytes map to the C1 code points of the same value.
std::string AnsiToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252; characters the code page lacks become "?".
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-16LE code units (2 bytes each, low byte first) to UTF-8; lone surrogates become U+FFFD.
std::string Utf16LeToUtf8(const void* data, size_t units);
// UTF-8 to UTF-16LE bytes.
std::string Utf8ToUtf16Le(std::string_view utf8);

bool IsValidUtf8(std::string_view text);
// Invalid sequences become U+FFFD (one per maximal invalid subpart).
std::string SanitizeUtf8(std::string_view text);
// Appends text to out, repairing invalid sequences; the fast path copies valid text once.
void AppendSanitizedUtf8(std::string& out, std::string_view text);

size_t CountCodePoints(std::string_view utf8);
// Number of UTF-16 code units the text takes.
size_t Utf16Length(std::string_view utf8);

// Appends the UTF-8 form of a code point.
void AppendCodePoint(std::string& out, char32_t cp);

}  // namespace tolvek
