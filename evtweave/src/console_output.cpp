#include "evtweave/console_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tolvek/text_codec.h"

namespace evtweave {
namespace {

ConsoleSink gSink = nullptr;

// Unbuffered, so a reading pipe sees each line at once and the two kinds of lines cannot
// overtake each other.
void WriteAll(std::string_view bytes) {
  if (gSink) {
    gSink(bytes);
    return;
  }
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(STDOUT_FILENO, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // a closed pipe must not end the conversion
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

bool InCgiEnvironment() {
  const char* value = std::getenv("GATEWAY_INTERFACE");
  return value != nullptr && std::strstr(value, "CGI") != nullptr;
}

}  // namespace

void SetConsoleSink(ConsoleSink sink) {
  gSink = sink;
}

void PrintProgress(std::string_view text) {
  if (InCgiEnvironment()) return;
  std::string bytes = tolvek::Utf8ToAnsi(text);
  bytes.push_back('\n');
  WriteAll(bytes);
}

void PrintConsoleLine(std::string_view text) {
  std::string bytes(text);
  bytes.append("\r\n");
  WriteAll(bytes);
}

void PrintBanner() {
  PrintConsoleLine("");
  PrintConsoleLine("evtweave");
  PrintConsoleLine("===========");
  PrintConsoleLine("");
  PrintConsoleLine("Version: " + std::string(kVersion) + " (Build " + std::to_string(kBuildNumber) +
                   ")");
  PrintConsoleLine("");
}

}  // namespace evtweave
