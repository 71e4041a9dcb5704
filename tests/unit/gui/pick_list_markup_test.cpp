#include <gtest/gtest.h>

#include "gui/pick_list_markup.h"
#include "platform/window_system.h"

using namespace gui::detail;
using Cells = std::vector<std::string>;

TEST(PickListMarkup, EscapesSplitCells) {
  EXPECT_EQ(gui::ResolveRowEscapes("a|b\\|c|d\\\\|e"), (Cells{"a", "b|c", "d\\", "e"}));
  EXPECT_EQ(gui::ResolveRowEscapes("a\\b"), (Cells{"a\\b"}));
  EXPECT_EQ(gui::ResolveRowEscapes(std::string("x\x01y\x02", 4)), (Cells{"x|y\\"}));
  EXPECT_EQ(SplitItemRows(""), (Cells{""}));
  EXPECT_EQ(SplitItemRows("a\r\nb\n"), (Cells{"a\r", "b", ""}));
}

TEST(PickListMarkup, RowsCellsAndTheirLooks) {
  const uint32_t kRed = platform::Rgb(255, 0, 0), kBlue = platform::Rgb(0, 0, 255);
  struct Case {
    const char* items;
    size_t row;
    Cells cells;
    bool locked;
    std::optional<uint32_t> front, back, cell0Front, cell1Back;
    std::optional<std::string> image;
  } cases[] = {
      {"{{{disabled}}}Name|n\nAuthor|a", 0, {"Name", "n"}, true, {}, {}, {}, {}, {}},
      {"{{{disabled}}}Name|n\nAuthor|a", 1, {"Author", "a"}, true, {}, {}, {}, {}, {}},
      {"{{{disabled}}}\nrow", 0, {""}, true, {}, {}, {}, {}, {}},
      {"{{{bg:yellow}}}x|y", 0, {"x", "y"}, false, {}, platform::Rgb(255, 255, 0), {}, {}, {}},
      {"{{color:red;disabled}}x|y", 0, {"x", "y"}, true, kRed, {}, {}, {}, {}},
      {"{{color:red}}{fg:blue}x|y", 0, {"x", "y"}, false, kRed, {}, kBlue, {}, {}},
      {"x|{bg:lime}y|z", 0, {"x", "y", "z"}, false, {}, {}, {}, platform::Rgb(0, 255, 0), {}},
      {"{{bg:red;image:3}}x", 0, {"x"}, false, {}, kRed, {}, {}, "3"},
      {"x|{abc|y}z", 0, {"x", "z"}, false, {}, {}, {}, {}, {}},
      {"{{{nope}}x", 0, {"x"}, false, {}, {}, {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.items) + " row " + std::to_string(c.row));
    auto listText = ListStyleText(c.items);
    auto listStyle = listText ? ParseStyleText(*listText) : std::vector<tolvek::CssStyle>{};
    auto row = ParseMarkedRow(SplitItemRows(c.items)[c.row], listText.has_value(), false);
    EXPECT_EQ(row.cells, c.cells);
    auto look = ComputeRowLook(listStyle, row);
    EXPECT_EQ(look.locked, c.locked);
    EXPECT_EQ(look.front, c.front);
    EXPECT_EQ(look.back, c.back);
    EXPECT_EQ(look.cellFront.empty() ? std::nullopt : look.cellFront[0], c.cell0Front);
    EXPECT_EQ(look.cellBack.size() < 2 ? std::nullopt : look.cellBack[1], c.cell1Back);
    EXPECT_EQ(look.image, c.image);
  }
  EXPECT_EQ(ParseMarkedRow("{{color:red}}x", false, true).cells, (Cells{"{{color:red}}x"}));
  auto font = ListFontDescription(ParseStyleText(*ListStyleText("{{{font:Courier New 9}}}")));
  EXPECT_EQ(font, "couriernew9");
}

TEST(PickListMarkup, PresetsAndResultForms) {
  EXPECT_EQ(NormalisePreset(""), "");
  EXPECT_EQ(NormalisePreset("a|b\n\n"), "a|b\n");
  EXPECT_EQ(NormalisePreset("{{color:red}}a|{fg:red}b"), "a|b\n");
  EXPECT_EQ(NormalisePreset("{a{b}"), "{a\n");
  EXPECT_EQ(PresetComparisonText("{{color:red}}a|b", false, false), "a|b");
  EXPECT_EQ(PresetComparisonText("a|{fg:red}b", false, false), "a|{fg:red}b");
  EXPECT_EQ(PresetComparisonText("{{{bg:red}}}{{x}}a|b", true, false), "a|b");
  EXPECT_TRUE(ContainsWholeLine("x\na|b\n", "a|b"));
  EXPECT_FALSE(ContainsWholeLine("xa|b\n", "a|b"));
  EXPECT_EQ(ResultRowText({"x|y", "c:\\temp"}), "x\\|y|c:\\\\temp");
  EXPECT_EQ(RowLine({"", "x", "y"}), "|x|y");
}

TEST(PickListSearch, FilterWithNegation) {
  const char* rows[] = {"alpha\none", "beta\ntwo", "Gamma\nthree"};
  struct Case {
    const char* search;
    bool shown[3];
  } cases[] = {
      {"ga", {false, false, true}},    {"!a", {false, false, false}},
      {"!=two", {true, false, true}},  {"<>two", {true, false, true}},
      {"!two", {true, false, true}},   {"!=", {true, true, true}},
      {"!", {true, true, true}},       {"<>", {true, true, true}},
      {"", {true, true, true}},        {"Enter search string ...", {true, true, true}},
      {"GAMMA", {false, false, true}},
  };
  for (const auto& c : cases)
    for (int r = 0; r < 3; ++r)
      EXPECT_EQ(PickListFilterAccepts(c.search, rows[r]), c.shown[r]) << c.search << " / " << r;
}

// Text from outside, written through ListIconCell at every place of a row, comes back as it
// was, whether the cell has a style or not, and opens no list, row or cell style.
TEST(PickListMarkup, ACellWrittenForTextShowsItLiterally) {
  const std::string texts[] = {"{color:white}evil.exe",
                               "a|b\\|c{d",
                               "{{color:white}}ghost.exe",
                               "{{{font:x}}}",
                               "REGEX:{color:white}|(?i).*wuauhelper.*",
                               "{",
                               "}",
                               "{}",
                               "\\",
                               "x\\",
                               "{a|b}c",
                               "",
                               "plain.exe"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string row = gui::ListIconCell(text) + "|" + gui::ListIconCell(text) + "|" +
                            gui::ListIconCell(text, "color:gray") + "|" + gui::ListIconCell(text);
    for (const std::string& items : {row, "{{color:black;disabled;}}" + row}) {
      MarkedRow marked = ParseMarkedRow(items, ListStyleText(items).has_value(), false);
      EXPECT_EQ(marked.cells, (Cells{text, text, text, text})) << items;
      EXPECT_EQ(marked.cellStyles, (Cells{"", "", "color:gray", ""})) << items;
      EXPECT_EQ(marked.rowStyle, items == row ? "" : "color:black;disabled;");
      EXPECT_FALSE(ListStyleText(items));
    }
  }
}
