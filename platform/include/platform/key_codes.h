// Key codes as canvas key events carry them (EventData of kSubKeyDown and kSubKeyUp).
#pragma once

namespace platform {

enum KeyCode : int {
  kKeyEscape = 0x01000000,
  kKeyReturn = 0x01000004,
  kKeyDelete = 0x01000007,
  kKeyLeft = 0x01000012,
  kKeyUp = 0x01000013,
  kKeyRight = 0x01000014,
  kKeyDown = 0x01000015,
};

}  // namespace platform
