#include "workbench/child_lines.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace workbench {

void ChildLines::ReadFrom(int fd, std::string& pending, bool& done,
                          std::vector<std::string>& lines) {
  char buffer[65536];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    done = true;
  } else {
    pending.append(buffer, static_cast<size_t>(n));
  }
  size_t start = 0;
  for (size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1) {
    std::string line = pending.substr(start, lf - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  pending.erase(0, start);
  if (done && !pending.empty()) {
    if (pending.back() == '\r') pending.pop_back();
    lines.push_back(std::move(pending));
    pending.clear();
  }
}

void ChildLines::ReadRaw() {
  char buffer[65536];
  ssize_t n = read(m_program.outFd, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    m_outDone = true;
  } else if (!m_outputFailed && !m_output(buffer, static_cast<size_t>(n))) {
    m_outputFailed = true;
  }
}

std::vector<std::string> ChildLines::Poll(int timeoutMs) {
  std::vector<std::string> lines;
  if (m_program.outFd < 0) m_outDone = true;
  if (m_program.errFd < 0) m_errDone = true;
  struct pollfd fds[2];
  int count = 0;
  if (!m_outDone) fds[count++] = {m_program.outFd, POLLIN, 0};
  if (!m_errDone) fds[count++] = {m_program.errFd, POLLIN, 0};
  if (count == 0) return lines;
  if (poll(fds, static_cast<nfds_t>(count), timeoutMs) <= 0) return lines;
  for (int i = 0; i < count; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    if (fds[i].fd == m_program.outFd && m_output) {
      ReadRaw();
    } else if (fds[i].fd == m_program.outFd) {
      ReadFrom(m_program.outFd, m_outPending, m_outDone, lines);
    } else {
      ReadFrom(m_program.errFd, m_errPending, m_errDone, lines);
    }
  }
  return lines;
}

}  // namespace workbench
