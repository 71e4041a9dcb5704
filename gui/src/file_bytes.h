// Reading a requester's file whole, telling an unreadable file from an empty one.
#pragma once

#include <string>
#include <string_view>

namespace gui::detail {

bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace gui::detail
