// The analyst's ignore lists of files, registry keys and servers, read from the working
// folder, and the test that hides an object for an access.
#pragma once

#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

inline constexpr std::string_view kFileIgnores = "evtweave_fileignores.dat";
inline constexpr std::string_view kRegistryKeyIgnores = "evtweave_registrykeyignores.dat";
inline constexpr std::string_view kServerIgnores = "evtweave_serverignores.dat";
// Steps of the matcher one ignore expression may take per name: about a millisecond.
inline constexpr unsigned long kIgnoreMatchLimit = 100'000;

// The three lists in their order, each announced with its MD5.
void LoadIgnoreFiles();
void LoadIgnoreFile(const std::string& fileName, IgnoreList& list);
// True when an entry matches the lower-cased name and its access holds the letter.
bool IsIgnored(std::string_view name, char access, IgnoreList& list);

// MD5 of the bytes as 32 lower-case hex digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace evtweave
