// Where requesters were last placed, per program, per use and per arrangement of displays,
// in a small per-user file shared by all programs of the suite.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_system.h"

namespace gui {

struct RequesterGeometry {
  int x = 0, y = 0, width = 0, height = 0;  // frame position, inner size
};

// False when the file holds no entry for this program, requester part and displays. What
// it returns is clamped to the current displays.
bool RequesterGeometry_Load(const std::string& fileName, const std::string& requesterPart,
                            RequesterGeometry& geometry);
// Stores the window's frame position and inner size; false when it could not be written.
bool RequesterGeometry_Save(const std::string& fileName, const std::string& requesterPart,
                            int window);

namespace detail {
// Key -> value, later lines winning; a line without Chr(1) is a key with an empty value.
std::map<std::string, std::string> ParseGeometryFile(std::string_view text);
std::string FormatGeometryFile(const std::map<std::string, std::string>& entries);
RequesterGeometry ParseGeometryValue(std::string_view value);
std::string DisplaySignature(const std::vector<platform::Monitor>& monitors);
// Keeps a remembered window usable: at least the minimum size, at most the desktop, and
// overlapping a monitor (else moved onto the primary one).
RequesterGeometry ClampGeometry(RequesterGeometry g, const std::vector<platform::Monitor>& monitors,
                                int minWidth, int minHeight);
std::string ProgramPath();
}  // namespace detail

}  // namespace gui
