#include "tolvek/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "tolvek/callstack.h"

namespace tolvek {

int CreateSiblingFile(const std::string& target, std::string& name) {
  static thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp" + std::to_string(getpid()) + "." + std::to_string(random());
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAllBytes(int fd, const void* data, size_t length) {
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    size_t chunk = length > (size_t{1} << 30) ? size_t{1} << 30 : length;
    ssize_t n = write(fd, p, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteFileWhole(const std::string& path, std::string_view bytes) {
  TOLVEK_TRACE("WriteFileWhole");
  if (path.empty()) return false;
  // Writing through a link replaces the file it names, not the link.
  std::string target = path;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  std::string temp;
  int fd = CreateSiblingFile(target, temp);
  if (fd < 0) return false;
  bool ok = true;
  if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    ok = fchmod(fd, st.st_mode & 07777) == 0;
  }
  ok = ok && WriteAllBytes(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace tolvek
