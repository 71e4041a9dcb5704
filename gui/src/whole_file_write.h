// Files the requesters write whole go through a temporary file beside the target and a
// rename, so a failed write leaves the old file as it was.
#pragma once

#include <string>
#include <string_view>

namespace gui::detail {

bool WriteFileWhole(const std::string& path, std::string_view bytes);
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace gui::detail
