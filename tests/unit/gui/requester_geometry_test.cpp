#include <gtest/gtest.h>

#include "gui/list_icon_requester.h"
#include "gui/requester_geometry.h"

using namespace gui::detail;

TEST(RequesterGeometryFile, LinesKeysAndValues) {
  auto entries = ParseGeometryFile(
      "k1\x01"
      "1,2,3,4\r\n\r\nk1\x01"
      "5,6,7,8\x01junk\r\nbare\r\n");
  EXPECT_EQ(entries.at("k1"), "5,6,7,8");
  EXPECT_EQ(entries.at(""), "");
  EXPECT_EQ(entries.at("bare"), "");
  // The empty line comes back as a line holding only the separator.
  EXPECT_EQ(FormatGeometryFile(entries),
            "\x01\r\nbare\x01\r\nk1\x01"
            "5,6,7,8\r\n");

  struct Case {
    const char* value;
    int x, y, w, h;
  } cases[] = {{"120,80,800,600", 120, 80, 800, 600},
               {" -5,+7,x,9", -5, 7, 0, 9},
               {"10,20", 10, 20, 0, 0},
               {"", 0, 0, 0, 0}};
  for (const auto& c : cases) {
    auto g = ParseGeometryValue(c.value);
    EXPECT_EQ(g.x, c.x) << c.value;
    EXPECT_EQ(g.y, c.y) << c.value;
    EXPECT_EQ(g.width, c.w) << c.value;
    EXPECT_EQ(g.height, c.h) << c.value;
  }
  EXPECT_EQ(DisplaySignature({{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}), "1920-1080+1280-1024");
}

TEST(RequesterGeometryFile, DamagedGeometryIsClampedOntoTheMonitors) {
  std::vector<platform::Monitor> monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Case {
    gui::RequesterGeometry in, out;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100, 800, 600}},
      {{2000, 50, 400, 300}, {2000, 50, 400, 300}},    // on the second monitor
      {{9000, 9000, 400, 300}, {0, 0, 400, 300}},      // lost: back onto the primary
      {{10, 10, 99999, 99999}, {10, 10, 3200, 1080}},  // at most the desktop
      {{10, 10, 0, 0}, {10, 10, 100, 60}},             // at least the minimum
      {{-5000, 10, 400, 300}, {0, 0, 400, 300}},
  };
  for (const auto& c : cases) {
    auto g = ClampGeometry(c.in, monitors, 100, 60);
    EXPECT_EQ(g.x, c.out.x);
    EXPECT_EQ(g.y, c.out.y);
    EXPECT_EQ(g.width, c.out.width);
    EXPECT_EQ(g.height, c.out.height);
  }
}

TEST(PickListColumns, StarWidths) {
  EXPECT_EQ(StarColumnWidth("0|150|*|40", 600), 380);
  EXPECT_EQ(StarColumnWidth("0|150|*|40", 700), 480);
  EXPECT_EQ(StarColumnWidth("*|*", 401), 185);
  EXPECT_EQ(StarColumnWidth("50|*", 200), 120);
  EXPECT_EQ(StarColumnWidth("500|*", 200), 0);  // never negative
  EXPECT_EQ(StarColumnWidth("x|*", 100), 70);   // a non-numeric field counts 0
}
