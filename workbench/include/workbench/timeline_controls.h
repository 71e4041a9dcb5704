// The arithmetic of the timeline controls, kept apart from the gadgets so that it can be
// checked without a window.
#pragma once

#include <cstdint>

namespace workbench::detail {

// The animation's period in milliseconds for the entry chosen in the speed list (entry i
// plays i + 1 frames per second); no entry chosen plays at the starting 10 frames per second.
int AnimationPeriodMs(int64_t speedEntry);

// The visible frame whose strip column lies under x, or -1 when there is none: no frames, a
// strip without width, or x beyond the last column.
int64_t StripFrameAt(int64_t x, int64_t stripWidth, int64_t visibleFrames);

}  // namespace workbench::detail
