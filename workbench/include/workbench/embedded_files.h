// Files compiled into the program (pictures, window descriptions, default lists).
#pragma once

#include <string_view>

namespace embedded_files {

// The bytes of the named file; empty when the program holds no file of that name.
std::string_view Find(std::string_view name);

}  // namespace embedded_files
