#include "file_bytes.h"

#include <utility>

#include "tolvek/file_read.h"

namespace gui::detail {

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::optional<std::string> read = tolvek::ReadFileBytes(path);
  if (!read) return false;
  bytes = std::move(*read);
  return true;
}

}  // namespace gui::detail
