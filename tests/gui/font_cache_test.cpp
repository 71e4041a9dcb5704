#include <gtest/gtest.h>

#include "gui/colour_font_strings.h"
#include "platform/window_system.h"

TEST(FontCache, EqualDescriptionsShareOneFont) {
  int font = gui::GetFontFromString("Arial 12 bold");
  ASSERT_NE(font, -1);
  EXPECT_EQ(gui::GetFontFromString("Arial 12 BOLD"), font);
  EXPECT_EQ(gui::GetFontFromString("  arial 12 bold "), font);
  EXPECT_NE(gui::GetFontFromString("Arial 12"), font);
  EXPECT_EQ(platform::FontPoints(font), 12);
  EXPECT_EQ(platform::FontStyleOf(font), uint32_t(platform::kFontBold));
  EXPECT_EQ(gui::GetFontFromString("arial 0"), -1);
}
