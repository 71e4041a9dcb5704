// The update check: the latest build numbers the maker publishes, compared with our own.
#pragma once

#include <string>

namespace workbench {

// The update server's address (ends with "/"); set at build time.
std::string UpdateServer();

// The build number at the start of an answer; 0 when it starts with none.
long long LeadingBuildNumber(const std::string& answer);

namespace detail {
// Test seam: another server ("" restores the built-in one).
void SetUpdateServer(const std::string& address);
}  // namespace detail

}  // namespace workbench
