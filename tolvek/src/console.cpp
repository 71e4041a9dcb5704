#include "tolvek/console.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

std::atomic<bool> gConsoleOutputFlag{false};

}  // namespace

void PrintLineAscii(std::string_view text) {
  TOLVEK_TRACE("PrintLineAscii");
  std::string line = Utf8ToAnsi(text);
  line.push_back('\n');
  // Unbuffered, so a reader at the other end of a pipe has the line at once. A reader that
  // has gone away is no reason to stop converting: errors end the write and nothing else.
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = write(STDOUT_FILENO, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (n == 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

std::string AsciiString(std::string_view text) {
  TOLVEK_TRACE("AsciiString");
  return AnsiToUtf8(Utf8ToAnsi(text));
}

void SetConsoleOutputFlag(bool flag) {
  TOLVEK_TRACE("SetConsoleOutputFlag");
  gConsoleOutputFlag.store(flag);
}

bool GetConsoleOutputFlag() {
  TOLVEK_TRACE("GetConsoleOutputFlag");
  return gConsoleOutputFlag.load();
}

}  // namespace tolvek
