// Writing a file whole: the bytes go to a file beside the target, which replaces it only
// when complete, so a full disk or a crash never leaves half a file behind.
#pragma once

#include <string>
#include <string_view>

namespace tolvek {

// Replaces path with bytes. A link at path keeps pointing at the file it names; an existing
// file's permission bits are kept. False when anything fails; the old file then stays.
bool WriteFileWhole(const std::string& path, std::string_view bytes);

// A new empty file beside target for writing, named so that concurrent writers never meet;
// its descriptor, or -1. name receives its path.
int CreateSiblingFile(const std::string& target, std::string& name);

// Writes all bytes to fd, in pieces as the system takes them; false on any failure.
bool WriteAllBytes(int fd, const void* data, size_t length);

}  // namespace tolvek
