// Colour names and "#RRGGBB" texts to colour values; free-form font descriptions to fonts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gui {

// red | green << 8 | blue << 16; 0 for a text it does not understand.
uint32_t GetRgbFromString(std::string_view text);

// A layer font number, or -1 when the font could not be made. Descriptions that normalise
// to the same text share one font, kept for the whole run.
int GetFontFromString(std::string_view description);

namespace detail {
struct FontSpec {
  std::string face;  // lower case; "" = the system's default face
  int points = 10;
  bool bold = false, italic = false, underline = false, strikeOut = false;
};
// " text " lower-cased with one space at each end, as the font cache keys it.
std::string NormaliseFontDescription(std::string_view description);
FontSpec ParseFontDescription(std::string_view description);
void ResetFontCache();
}  // namespace detail

}  // namespace gui
