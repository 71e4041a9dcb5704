#include "tolvek/path_generic.h"

#include <algorithm>
#include <cstring>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "tolvek/process.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

// The platform's own split: a leading double quote is no part of the path and nothing from
// the first "|" on is looked at. Returns the length of the folder part (separator kept).
size_t FolderLength(std::string_view path, std::string_view separators) {
  size_t start = !path.empty() && path.front() == '"' ? 1 : 0;
  std::string_view looked = path.substr(0, path.find('|'));
  size_t at = looked.find_last_of(separators);
  if (at == std::string_view::npos || at < start) return start;
  return at + 1;
}

// Backslashes become code 1 and slashes become backslashes, so that a Unix path splits
// at its slashes only.
std::string AsWindowsForm(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') {
      c = '\x01';
    } else if (c == '/') {
      c = '\\';
    }
  }
  return out;
}

}  // namespace

int DetectPathOrigin(std::string_view path) {
  TOLVEK_TRACE("DetectPathOrigin");
  auto backslashes = std::count(path.begin(), path.end(), '\\');
  auto slashes = std::count(path.begin(), path.end(), '/');
  if (backslashes > slashes) return kPathOriginWindows;
  if (backslashes < slashes) return kPathOriginUnix;
  if (path.size() >= 2 && path[1] == ':') return kPathOriginWindows;
  if (backslashes == 0) return kPathOriginNone;
  return path.find('\\') < path.find('/') ? kPathOriginWindows : kPathOriginUnix;
}

std::string GetFilePartGeneric(std::string_view path) {
  TOLVEK_TRACE("GetFilePartGeneric");
  size_t folder;
  if (DetectPathOrigin(path) == kPathOriginWindows) {
    folder = FolderLength(path, "\\/");
  } else {
    folder = FolderLength(AsWindowsForm(path), "\\");
  }
  std::string_view file = path.substr(folder);
  return std::string(file.substr(0, file.find('|')));
}

std::string GetPathPartGeneric(std::string_view path, bool keepSeparators) {
  TOLVEK_TRACE("GetPathPartGeneric");
  size_t start = !path.empty() && path.front() == '"' ? 1 : 0;
  if (DetectPathOrigin(path) == kPathOriginWindows) {
    size_t n = FolderLength(path, "\\/");
    return std::string(path.substr(start, n - start));
  }
  std::string windows = AsWindowsForm(path);
  size_t n = FolderLength(windows, "\\");
  if (keepSeparators) return std::string(path.substr(start, n - start));
  std::string out = windows.substr(start, n - start);
  std::replace(out.begin(), out.end(), '\x01', '_');
  return out;
}

std::string MyStringField(std::string_view text, int64_t index, std::string_view delimiter) {
  TOLVEK_TRACE("MyStringField");
  if (index < 1) return "";
  if (delimiter.empty()) return index == 1 ? std::string(text) : "";
  size_t start = 0;
  for (int64_t i = 1; i < index; ++i) {
    size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) return "";
    start = at + delimiter.size();
  }
  size_t end = text.find(delimiter, start);
  return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

void* AllocateMemoryFromString(std::string_view text, bool ascii) {
  TOLVEK_TRACE("AllocateMemoryFromString");
  if (text.empty()) return nullptr;
  std::string bytes = ascii ? Utf8ToAnsi(text) : Utf8ToUtf16Le(text);
  void* block = AllocateMemoryWithCheck(static_cast<int64_t>(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

int GetBomLength4MemoryString(const void* memory, int64_t size) {
  TOLVEK_TRACE("GetBomLength4MemoryString");
  if (!memory) return 0;
  if (size == kMemoryStringDefault) size = MemorySize(memory);
  const auto* p = static_cast<const unsigned char*>(memory);
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return 3;
  if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) return 2;
  return 0;
}

std::string RunProgramAndOutput2String(const std::string& file,
                                       const std::vector<std::string>& parameters,
                                       const std::string& directory, bool withErrors, int format) {
  TOLVEK_TRACE("RunProgramAndOutput2String");
  Program program;
  if (!StartProgram(file, parameters, directory, program)) return "";
  MemoryPtr block(ReadProgramStream(program));
  CloseProgram(program);
  std::string_view bytes(static_cast<const char*>(block.get()),
                         static_cast<size_t>(MemorySize(block.get())));
  std::string out;
  if (format == kFormatUtf8) {
    out = SanitizeUtf8(bytes);
  } else if (format == kFormatUtf16) {
    out = Utf16LeToUtf8(bytes.data(), bytes.size() / 2);
  } else {
    out = AnsiToUtf8(bytes);
  }
  if (withErrors && !program.errors.empty()) {
    std::string errors;
    size_t pos = 0;
    while (pos < program.errors.size()) {
      size_t end = program.errors.find('\n', pos);
      if (end == std::string::npos) end = program.errors.size();
      std::string_view line(program.errors.data() + pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      errors.append(line);
      errors.push_back('\n');
      pos = end + 1;
    }
    out += '\x01';
    out += SanitizeUtf8(errors);
  }
  return out;
}

}  // namespace tolvek
