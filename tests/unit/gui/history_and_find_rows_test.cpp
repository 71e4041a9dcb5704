// Pure text rules of the input box's history and of the find results rows.
#include <gtest/gtest.h>

#include "gui/edit_text_requester.h"
#include "gui/input_requester_with_history.h"

using namespace gui;
using namespace gui::detail;

namespace {

TEST(HistoryFile, RememberingPutsTheTextFirstOnce) {
  struct Case {
    const char* stored;
    const char* text;
    int64_t max;
    const char* expected;
  } cases[] = {
      {"b|a|c", "a", kNoHistoryLimit, "K\ta|b|c"},
      {"b|a|a", "a", kNoHistoryLimit, "K\ta|b"},
      {"a|b|c", "d", 2, "K\td|a"},
      {"a|b|c", "d", 0, "K\td"},  // a limit below 1 keeps one entry
      {"", "x|y", kNoHistoryLimit, "K\tx|y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    auto lines = RememberEntry({std::string("K\t") + c.stored}, "K", c.text, c.max);
    EXPECT_EQ(lines, (std::vector<std::string>{c.expected}));
  }
  // A new key goes to the end; a key that only begins like another keeps its own line.
  auto lines = RememberEntry({"Kb\tz", "other"}, "K", "t", kNoHistoryLimit);
  EXPECT_EQ(lines, (std::vector<std::string>{"Kb\tz", "other", "K\tt"}));
}

TEST(HistoryFile, BytesRoundTrip) {
  auto lines = ParseHistoryFile("\xEF\xBB\xBFk\ta|b\r\nj\tc\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"k\ta|b", "j\tc"}));
  EXPECT_EQ(FormatHistoryFile(lines), "\xEF\xBB\xBFk\ta|b\r\nj\tc\r\n");
  EXPECT_EQ(StoredHistory(lines, "j"), "c");
  EXPECT_EQ(StoredHistory(lines, ""), "");
}

TEST(HistoryFile, OfferedEntries) {
  EXPECT_EQ(OfferedEntries("a", "a|b", false), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(OfferedEntries("", "|x||y|", false), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(OfferedEntries("", "x|||y", false), (std::vector<std::string>{"x"}));
  EXPECT_EQ(OfferedEntries("D", "B|a|D|b", true), (std::vector<std::string>{"D", "a", "B", "b"}));
}

TEST(FindResults, RowsEscapeForThePickList) {
  EXPECT_EQ(FindResultRow(0, "aa"), "0|aa");
  EXPECT_EQ(FindResultRow(3, "a\\|b"), "3|a\\\\\\|b");
  EXPECT_EQ(FindResultRow(1, "x\ny"), "1|x\\\\ny");
}

TEST(StylesMap, GivingWayAndPriorities) {
  using Run = StylesMapRun;
  std::vector<StylesMapColour> styles(256), indicators(3);
  styles[5] = {0x0000FF, 0xFF0000};
  indicators[1] = {0, 0x00FFFF};
  indicators[2] = {0, 0x00A5FF};
  auto columns = [&](std::vector<Run> runs, std::vector<StylesMapEntry> entries) {
    std::vector<std::pair<int, int>> cols;  // x, width of background boxes
    for (const auto& b : StylesMapBoxes(runs, entries, styles, indicators, false))
      if (b.colour != 0x0000FF) cols.push_back({b.x, b.w});
    return cols;
  };
  std::vector<Run> shared{{25, 50, false, 5}, {25, 50, true, 1}};
  EXPECT_EQ(columns(shared, {}), (std::vector<std::pair<int, int>>{{0, 10}, {10, 10}}));
  EXPECT_EQ(columns(shared, {{5, 0, false, true}}), (std::vector<std::pair<int, int>>{{0, 20}}));
  std::vector<Run> bothYield{{25, 50, true, 1}, {25, 50, true, 2}};
  EXPECT_EQ(columns(bothYield, {{-1, 7, false, true}, {-2, 2, false, true}}),
            (std::vector<std::pair<int, int>>{{0, 20}}));
  // The style's stripe over the middle third of a lone column: x 7, 7 wide.
  auto boxes = StylesMapBoxes({{25, 50, false, 5}}, {}, styles, indicators, false);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].x, 7);
  EXPECT_EQ(boxes[1].w, 7);
}

}  // namespace
