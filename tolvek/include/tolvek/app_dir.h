// The per-user application folder and the files kept inside the program.
#pragma once

#include <cstdint>
#include <string>

namespace tolvek {

// The folder for appName ending with "/", created when missing; an older single file of
// that name is moved into the new folder.
std::string GetApplicationDirectory(const std::string& appName);
// The path of fileName in the application folder, after moving a file of the older layout
// (in the home folder, with or without a leading dot) there.
std::string GetApplicationDirectoryPath4File(const std::string& appName,
                                             const std::string& fileName);
int64_t GetBinaryLengthFromDatasection(const unsigned char* start, const unsigned char* end);
// Writes the kept bytes to path (through a temporary file and a rename); false on failure.
bool WriteBinaryFromDatasection2Disk(const unsigned char* start, const unsigned char* end,
                                     const std::string& path);

}  // namespace tolvek
