// A file-size limit on this process while the object lives: writes beyond it fail as they
// would on a full disk (with EFBIG), and SIGXFSZ is ignored meanwhile so that the process goes
// on. Children started meanwhile inherit the limit.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace lumivex_testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    m_set = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    m_set = m_set && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    if (m_set) setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // Whether the limit holds.
  bool Set() const { return m_set; }

 private:
  rlimit m_old{};
  void (*m_oldHandler)(int) = SIG_DFL;
  bool m_set = false;
};

}  // namespace lumivex_testing
