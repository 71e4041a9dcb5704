#include <gtest/gtest.h>

#include "gui/colour_font_strings.h"
#include "platform/window_system.h"

using gui::GetRgbFromString;
using platform::Rgb;

TEST(ColourStrings, NamesAndHexForms) {
  struct Case {
    const char* text;
    uint32_t expected;
  } cases[] = {
      {"RED", Rgb(255, 0, 0)},
      {"Red", Rgb(255, 0, 0)},
      {" red", 0},
      {"orange", 0},
      {"lightgray", Rgb(211, 211, 211)},
      {"#FF8000", Rgb(255, 128, 0)},
      {"#ff8000", Rgb(255, 128, 0)},
      {"#FFF", Rgb(255, 15, 0)},
      {"#", 0},
      {"", 0},
      {"#12345678", Rgb(0x12, 0x34, 0x56)},
      {"#zz0000", 0},
      {"#0z1234", Rgb(0, 0x12, 0x34)},
  };
  for (const auto& c : cases) EXPECT_EQ(GetRgbFromString(c.text), c.expected) << c.text;
}

TEST(FontDescriptions, FaceSizeAndStyles) {
  struct Case {
    const char* text;
    const char* face;
    int points;
    bool bold, italic, underline, strike;
  } cases[] = {
      {"Arial 12 bold", "arial", 12, true, false, false, false},
      {"bold", "", 10, true, false, false, false},
      {"", "", 10, false, false, false, false},
      {"Courier New 9 italic underline", "courier new", 9, false, true, true, false},
      {"x strikethrough", "x", 10, false, false, false, true},
      {"x strikeout", "x", 10, false, false, false, true},
      {"code128 8", "code128", 8, false, false, false, false},
      {"arial12", "arial12", 12, false, false, false, false},
      {"couriernew9", "couriernew9", 9, false, false, false, false},
      {"bold bold arial", "bold arial", 10, true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto spec = gui::detail::ParseFontDescription(c.text);
    EXPECT_EQ(spec.face, c.face);
    EXPECT_EQ(spec.points, c.points);
    EXPECT_EQ(spec.bold, c.bold);
    EXPECT_EQ(spec.italic, c.italic);
    EXPECT_EQ(spec.underline, c.underline);
    EXPECT_EQ(spec.strikeOut, c.strike);
  }
  EXPECT_EQ(gui::detail::NormaliseFontDescription("  Arial 12 BOLD "), " arial 12 bold ");
}
