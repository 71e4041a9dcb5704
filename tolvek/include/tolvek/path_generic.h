// Paths of either form (Windows backslashes or Unix slashes), and small helpers for
// strings, memory blocks and program output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvek {

enum PathOrigin : int { kPathOriginNone = 0, kPathOriginWindows = 1, kPathOriginUnix = 2 };

// Decided by which separator occurs more often; on a tie a drive colon or the first
// separator decides.
int DetectPathOrigin(std::string_view path);
// The text after the last separator of the path's origin; in a Unix path a backslash is
// an ordinary character of a name.
std::string GetFilePartGeneric(std::string_view path);
// The folder part up to the last separator of the path's origin. With keepSeparators
// false a Unix folder comes back in Windows form, its literal backslashes as "_".
std::string GetPathPartGeneric(std::string_view path, bool keepSeparators);

// Field index (from 1) of text split at the whole delimiter; "" past the last field.
std::string MyStringField(std::string_view text, int64_t index, std::string_view delimiter);
// A new block holding text without a terminating zero: one byte per character in the ANSI
// code page when ascii is true, else UTF-16LE. Null for "".
void* AllocateMemoryFromString(std::string_view text, bool ascii);
// Length of a UTF-8 (3) or UTF-16LE (2) byte-order mark at the block's start, else 0.
// size -65535 means the block's allocated size.
int GetBomLength4MemoryString(const void* memory, int64_t size = -65535);
// Runs the program and returns its standard output decoded in format (2 UTF-8, 25
// UTF-16LE, other values the ANSI code page); with withErrors and error output, Chr(1) and
// the error lines (each ended by LF) follow.
std::string RunProgramAndOutput2String(const std::string& file,
                                       const std::vector<std::string>& parameters,
                                       const std::string& directory, bool withErrors, int format);

}  // namespace tolvek
