#include "workbench/preference_text.h"

#include <sys/stat.h>

#include <cerrno>

#include "tolvek/file_read.h"

namespace workbench::preference_text {

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool IsGroupLine(std::string_view line) {
  std::string_view trimmed = TrimBlanks(line);
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string_view GroupNameOf(std::string_view line) {
  std::string_view trimmed = TrimBlanks(line);
  return trimmed.substr(1, trimmed.size() - 2);
}

std::optional<std::string_view> KeyOf(std::string_view line) {
  size_t eq = line.find('=');
  std::string_view trimmed = TrimBlanks(line);
  if (eq == std::string_view::npos || trimmed.empty() || trimmed.front() == ';') {
    return std::nullopt;
  }
  return TrimBlanks(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = line.substr(line.find('=') + 1);
  if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  return value;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::string();
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EPERM;
    return std::nullopt;
  }
  return tolvek::ReadFileBytes(path);
}

}  // namespace workbench::preference_text
