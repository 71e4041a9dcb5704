#include "file_bytes.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace gui::detail {

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace gui::detail
