// The test servers print the port they listen on as their first line; their output pipe does
// not block, so the line is gathered a byte at a time for at most about ten seconds.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <string>

namespace lumivex_testing {

// The port without its line break; "" when none came.
inline std::string ReadPortLine(int fd) {
  std::string port;
  for (int tries = 0; tries < 1000 && (port.empty() || port.back() != '\n'); ++tries) {
    pollfd p{fd, POLLIN, 0};
    char c;
    if (poll(&p, 1, 10) > 0 && read(fd, &c, 1) == 1) port += c;
  }
  if (!port.empty() && port.back() == '\n') port.pop_back();
  return port;
}

}  // namespace lumivex_testing
