#include "gui/requester_geometry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tolvek/app_dir.h"
#include "tolvek/callstack.h"
#include "tolvek/file_write.h"

namespace gui {

namespace detail {

std::map<std::string, std::string> ParseGeometryFile(std::string_view text) {
  std::map<std::string, std::string> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    std::string_view line = text.substr(start, lf == std::string_view::npos ? lf : lf - start);
    start = lf == std::string_view::npos ? text.size() : lf + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t sep = line.find('\x01');
    std::string_view key = line.substr(0, sep);
    std::string_view value;
    if (sep != std::string_view::npos) {
      value = line.substr(sep + 1);
      value = value.substr(0, value.find('\x01'));
    }
    entries[std::string(key)] = std::string(value);
  }
  return entries;
}

std::string FormatGeometryFile(const std::map<std::string, std::string>& entries) {
  std::string out;
  for (const auto& [key, value] : entries) out += key + '\x01' + value + "\r\n";
  return out;
}

RequesterGeometry ParseGeometryValue(std::string_view value) {
  int fields[4] = {0, 0, 0, 0};
  size_t start = 0;
  for (int i = 0; i < 4 && start <= value.size(); ++i) {
    size_t comma = value.find(',', start);
    std::string_view field =
        value.substr(start, comma == std::string_view::npos ? comma : comma - start);
    size_t p = 0;
    while (p < field.size() && field[p] == ' ') ++p;
    bool negative = false;
    if (p < field.size() && (field[p] == '-' || field[p] == '+')) negative = field[p++] == '-';
    long long number = 0;
    while (p < field.size() && std::isdigit(static_cast<unsigned char>(field[p])))
      number = std::min<long long>(number * 10 + (field[p++] - '0'), 1000000);
    fields[i] = int(negative ? -number : number);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return {fields[0], fields[1], fields[2], fields[3]};
}

std::string DisplaySignature(const std::vector<platform::Monitor>& monitors) {
  std::string out;
  for (size_t i = 0; i < monitors.size(); ++i)
    out += (i ? "+" : "") + std::to_string(monitors[i].width) + "-" +
           std::to_string(monitors[i].height);
  return out;
}

RequesterGeometry ClampGeometry(RequesterGeometry g, const std::vector<platform::Monitor>& monitors,
                                int minWidth, int minHeight) {
  if (monitors.empty()) return g;
  int left = monitors[0].x, top = monitors[0].y;
  int right = left + monitors[0].width, bottom = top + monitors[0].height;
  for (const auto& m : monitors) {
    left = std::min(left, m.x);
    top = std::min(top, m.y);
    right = std::max(right, m.x + m.width);
    bottom = std::max(bottom, m.y + m.height);
  }
  g.width = std::clamp(g.width, std::min(minWidth, right - left), right - left);
  g.height = std::clamp(g.height, std::min(minHeight, bottom - top), bottom - top);
  bool visible = std::any_of(monitors.begin(), monitors.end(), [&](const platform::Monitor& m) {
    return g.x < m.x + m.width && g.x + g.width > m.x && g.y < m.y + m.height &&
           g.y + g.height > m.y;
  });
  if (!visible) {
    g.x = monitors[0].x;
    g.y = monitors[0].y;
  }
  return g;
}

std::string ProgramPath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

}  // namespace detail

namespace {

constexpr int kMinRememberedWidth = 100;
constexpr int kMinRememberedHeight = 60;

std::string Key(const std::string& requesterPart) {
  return detail::ProgramPath() + "-" + requesterPart + "-" +
         detail::DisplaySignature(platform::Monitors());
}

// Serialises readers and writers of one geometry file across the programs of the suite.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    m_fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~FileLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ::access(path.c_str(), F_OK) != 0;  // a missing file reads as empty
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

}  // namespace

bool RequesterGeometry_Load(const std::string& fileName, const std::string& requesterPart,
                            RequesterGeometry& geometry) {
  TOLVEK_TRACE("RequesterGeometry_Load");
  std::string path = tolvek::GetApplicationDirectoryPath4File("Tolvek", fileName);
  if (path.empty()) return false;
  std::string text;
  {
    FileLock lock(path);
    if (!lock.Held() || !ReadWhole(path, text)) return false;
  }
  auto entries = detail::ParseGeometryFile(text);
  auto it = entries.find(Key(requesterPart));
  if (it == entries.end()) return false;
  geometry = detail::ClampGeometry(detail::ParseGeometryValue(it->second), platform::Monitors(),
                                   kMinRememberedWidth, kMinRememberedHeight);
  return true;
}

bool RequesterGeometry_Save(const std::string& fileName, const std::string& requesterPart,
                            int window) {
  TOLVEK_TRACE("RequesterGeometry_Save");
  if (!platform::IsWindow(window)) return false;
  std::string path = tolvek::GetApplicationDirectoryPath4File("Tolvek", fileName);
  if (path.empty()) return false;
  FileLock lock(path);
  std::string text;
  if (!lock.Held() || !ReadWhole(path, text)) return false;
  auto entries = detail::ParseGeometryFile(text);
  entries[Key(requesterPart)] = std::to_string(platform::WindowX(window)) + "," +
                                std::to_string(platform::WindowY(window)) + "," +
                                std::to_string(platform::WindowWidth(window)) + "," +
                                std::to_string(platform::WindowHeight(window));
  std::string out = detail::FormatGeometryFile(entries);
  return tolvek::WriteFileWhole(path, out);
}

}  // namespace gui
