// The threads the programs start: each gets an alternate signal stack, so that a stack
// overflow on it still reaches the crash handler.
#pragma once

#include <thread>
#include <utility>

namespace tolvek {

// Gives the calling thread an alternate signal stack for the scope's lifetime.
class ThreadSignalStack {
 public:
  ThreadSignalStack();
  ~ThreadSignalStack();
  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;

 private:
  char* m_stack;
};

// Starts a thread that runs job on its own alternate signal stack; the programs start their
// threads through here.
template <class Job>
std::thread StartThread(Job job) {
  return std::thread([job = std::move(job)]() mutable {
    ThreadSignalStack stack;
    job();
  });
}

}  // namespace tolvek
