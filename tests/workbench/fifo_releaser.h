// A FIFO that a test hands the workbench as an input. Whoever opens it for reading waits for a
// writer; after a grace period this opens and closes the writing end again and again, so a
// reader stuck there sees the end of the data instead of hanging, and Released() tells the
// test that somebody had been waiting on it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace wbtest {

class FifoReleaser {
 public:
  explicit FifoReleaser(const std::string& path,
                        std::chrono::milliseconds grace = std::chrono::seconds(5))
      : m_path(path) {
    mkfifo(path.c_str(), 0600);
    m_thread = std::thread([this, grace] {
      auto release = std::chrono::steady_clock::now() + grace;
      while (!m_stop) {
        if (std::chrono::steady_clock::now() >= release) {
          // Opens only while a reader holds the other end.
          int fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) {
            m_released = true;
            close(fd);
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
  }
  ~FifoReleaser() {
    m_stop = true;
    m_thread.join();
    unlink(m_path.c_str());
  }
  // True once a reader held the FIFO open past the grace period.
  bool Released() const { return m_released; }
  FifoReleaser(const FifoReleaser&) = delete;
  FifoReleaser& operator=(const FifoReleaser&) = delete;

 private:
  std::string m_path;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_released{false};
  std::thread m_thread;
};

}  // namespace wbtest
