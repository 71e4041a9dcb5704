// Whole-file reading: text with encoding detection, or raw bytes in a memory block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvek {

// A descriptor for reading path when it is a regular file; -1 for anything else (a FIFO, a
// device, a folder) or when it cannot be opened. Never waits for a FIFO's writer.
int OpenRegularFile(const std::string& path);

// The readers below read regular files only (OpenRegularFile).

// The file's text as UTF-8; format (2, 24, 25; 0 = none) is used only without a
// byte-order mark. "" for an empty or unreadable file (an unreadable one is logged).
std::string ReadFile2String(const std::string& path, int format = 0);
// A new memory block with exactly the file's bytes; null for an empty or unreadable file.
void* ReadFile2Memory(const std::string& path);
// Exactly the file's bytes (a file that grows meanwhile is read to its end); nullopt when it
// cannot be opened or read, or holds more than maxBytes (when that is not negative).
std::optional<std::string> ReadFileBytes(const std::string& path, int64_t maxBytes = -1);
// A file's content as ReadFile2String reads it: a byte-order mark decides, else format.
std::string DecodeFileText(std::string_view bytes, int format = 0);

}  // namespace tolvek
