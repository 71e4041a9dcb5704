#include "tolvek/file_read.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "tolvek/syslog.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

// Closes the descriptor on every way out.
struct FileDescriptor {
  int fd;
  explicit FileDescriptor(int f) : fd(f) {}
  ~FileDescriptor() {
    if (fd >= 0) close(fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
};

// Written from inside the public procedure, so the call stack names it last.
void WarnUnreadable(const std::string& path) {
  SyslogWarning("ReadFile(#ZEM_Any, \"" + path + "\") failed! (Callstack: " + GetCallstack() + ")");
}

// The file's length, or -1 when it cannot be had.
int64_t FileLength(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

// Reads up to length bytes; fewer only when the file ends sooner. -1 on an I/O error.
int64_t ReadFully(int fd, unsigned char* dst, int64_t length) {
  // One read returns at most about 2 GiB on Linux; ask for less and go round.
  constexpr int64_t kChunk = int64_t{1} << 30;
  int64_t got = 0;
  while (got < length) {
    int64_t want = length - got < kChunk ? length - got : kChunk;
    ssize_t n = read(fd, dst + got, static_cast<size_t>(want));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += n;
  }
  return got;
}

// Large blocks are filled once and read straight through: huge pages spare most of the
// page faults of filling them.
void AdviseHugePages(void* block, int64_t length) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (length < static_cast<int64_t>(8 * kHuge)) return;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end =
      (reinterpret_cast<uintptr_t>(block) + static_cast<uintptr_t>(length)) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)length;
#endif
}

const unsigned char* FindZero(const unsigned char* p, size_t n) {
  const void* zero = std::memchr(p, 0, n);
  return zero ? static_cast<const unsigned char*>(zero) : p + n;
}

std::string DecodeText(const unsigned char* p, size_t n, int format) {
  if (format == kFormatUtf16) {
    size_t units = n / 2;  // an odd last byte is half a unit: not text
    for (size_t i = 0; i < units; ++i) {
      if (p[2 * i] == 0 && p[2 * i + 1] == 0) {
        units = i;
        break;
      }
    }
    return Utf16LeToUtf8(p, units);
  }
  n = static_cast<size_t>(FindZero(p, n) - p);
  std::string_view bytes(reinterpret_cast<const char*>(p), n);
  if (format == kFormatUtf8) return SanitizeUtf8(bytes);
  if (format == 0 && DeclaresUtf8Charset(p, n)) return SanitizeUtf8(bytes);
  return AnsiToUtf8(bytes);
}

}  // namespace

int OpenRegularFile(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO waits until someone opens it for writing: a file a
  // local user planted could hold us there for good.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string ReadFile2String(const std::string& path, int format) {
  TOLVEK_TRACE("ReadFile2String");
  FileDescriptor file(OpenRegularFile(path));
  int64_t length = file.fd < 0 ? -1 : FileLength(file.fd);
  if (length < 0) {
    WarnUnreadable(path);
    return {};
  }
  if (length == 0) return {};
  MemoryPtr block(AllocateMemoryWithCheck(length, kMemoryNoClear));
  auto* bytes = static_cast<unsigned char*>(block.get());
  int64_t got = ReadFully(file.fd, bytes, length);
  if (got < 0) {
    WarnUnreadable(path);
    return {};
  }
  return DecodeFileText(
      std::string_view(static_cast<const char*>(block.get()), static_cast<size_t>(got)), format);
}

std::string DecodeFileText(std::string_view text, int format) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  struct Mark {
    unsigned char bytes[4];
    size_t length;
    int format;  // 0: none of ours; the text is then read as if it had no format
  };
  static constexpr Mark kMarks[] = {
      {{0xFF, 0xFE, 0x00, 0x00}, 4, 0},     {{0x00, 0x00, 0xFE, 0xFF}, 4, 0},
      {{0xFF, 0xFE}, 2, kFormatUtf16},      {{0xFE, 0xFF}, 2, 0},
      {{0xEF, 0xBB, 0xBF}, 3, kFormatUtf8},
  };
  size_t skip = 0;
  int decoding = format;
  for (const Mark& mark : kMarks) {
    if (n >= mark.length && std::memcmp(bytes, mark.bytes, mark.length) == 0) {
      skip = mark.length;
      decoding = mark.format;
      break;
    }
  }
  if (decoding != 0 && decoding != kFormatUtf8 && decoding != kFormatUtf16) {
    decoding = kFormatAnsi;
  }
  return DecodeText(bytes + skip, n - skip, decoding);
}

void* ReadFile2Memory(const std::string& path) {
  TOLVEK_TRACE("ReadFile2Memory");
  FileDescriptor file(OpenRegularFile(path));
  int64_t length = file.fd < 0 ? -1 : FileLength(file.fd);
  if (length < 0) {
    WarnUnreadable(path);
    return nullptr;
  }
  if (length == 0) return nullptr;
  posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  // Every byte is about to be overwritten: no need to clear the block first.
  void* block = AllocateMemoryWithCheck(length, kMemoryNoClear);
  AdviseHugePages(block, length);
  int64_t got = ReadFully(file.fd, static_cast<unsigned char*>(block), length);
  if (got < 0) {
    FreeMemory(block);
    WarnUnreadable(path);
    return nullptr;
  }
  if (got < length) {
    // The file shrank while it was read: hand back what it held, never stale bytes.
    if (got == 0) {
      FreeMemory(block);
      return nullptr;
    }
    if (void* smaller = ReAllocateMemoryAdvanced(block, got)) return smaller;
    std::memset(static_cast<unsigned char*>(block) + got, 0, static_cast<size_t>(length - got));
  }
  return block;
}

std::optional<std::string> ReadFileBytes(const std::string& path, int64_t maxBytes) {
  FileDescriptor file(OpenRegularFile(path));
  if (file.fd < 0) return std::nullopt;
  const int64_t length = FileLength(file.fd);
  if (length < 0 || (maxBytes >= 0 && length > maxBytes)) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  int64_t got = ReadFully(file.fd, reinterpret_cast<unsigned char*>(bytes.data()), length);
  if (got < 0) return std::nullopt;
  bytes.resize(static_cast<size_t>(got));
  if (got == length) {
    char more[65536];
    for (;;) {
      ssize_t n = read(file.fd, more, sizeof more);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return std::nullopt;
      if (n == 0) break;
      bytes.append(more, static_cast<size_t>(n));
      if (maxBytes >= 0 && static_cast<int64_t>(bytes.size()) > maxBytes) return std::nullopt;
    }
  }
  return bytes;
}

}  // namespace tolvek
