// The test servers print the port they listen on as their first line; their output pipe does
// not block, so the line is gathered a byte at a time for at most about ten seconds.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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

// A loopback port that was free a moment ago, so nothing answers there; "" when none was
// found.
inline std::string UnusedPort() {
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return "";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bool ok = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(probe);
  return ok ? std::to_string(ntohs(address.sin_port)) : "";
}

}  // namespace lumivex_testing
