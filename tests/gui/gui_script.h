// Drives a blocking requester from the loop hook: steps run one after another, each
// returning true when done; a script that gets stuck fails the test and closes the windows.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace guitest {

class Script {
 public:
  using Step = std::function<bool()>;
  // closeTitle: the window closed when the script gets stuck, so the requester returns.
  explicit Script(std::vector<Step> steps, std::string closeTitle = "")
      : m_steps(std::move(steps)), m_closeTitle(std::move(closeTitle)) {
    platform::SetLoopHook([this] { Run(); });
  }
  ~Script() { platform::SetLoopHook(nullptr); }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  bool Finished() const { return m_next == m_steps.size(); }

 private:
  void Run() {
    if (++m_calls > 1500) {
      ADD_FAILURE() << "script stuck at step " << m_next;
      platform::SetLoopHook(nullptr);
      // Closing every window ends any requester loop waiting on them.
      int window = m_closeTitle.empty() ? platform::GetActiveWindow()
                                        : platform::FindWindowByTitle(m_closeTitle);
      platform::PostEvent(platform::kEventCloseWindow, window, -1);
      return;
    }
    if (m_next < m_steps.size() && m_steps[m_next]()) ++m_next;
  }
  std::vector<Step> m_steps;
  std::string m_closeTitle;
  size_t m_next = 0;
  int m_calls = 0;
};

// A step that acts once.
inline Script::Step Do(std::function<void()> action) {
  return [action] {
    action();
    return true;
  };
}

}  // namespace guitest
