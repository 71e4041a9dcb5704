// Environment variables set for a test's lifetime and restored afterwards, so one test's
// HOME or TMPDIR never leaks into the next.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace lumivex_testing {

class ScopedEnv {
 public:
  // nullopt unsets the variable for the lifetime of the object.
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    Set(value);
  }
  ~ScopedEnv() { Set(m_old); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(m_name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace lumivex_testing
