// Finding the sample that the sandbox launcher started, or following everything.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace evtweave {

void ManageLauncher();

// A log time ("7:37:18.2093997 AM" or "19:37:18.2093997") in nanoseconds since midnight.
std::optional<int64_t> ParseTimeOfDay(std::string_view text);
// Orders two start times as times; texts that are not times are compared as text.
int CompareStartTimes(std::string_view a, std::string_view b);

}  // namespace evtweave
