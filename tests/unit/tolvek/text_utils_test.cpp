#include "tolvek/text_utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tolvek/memory.h"

namespace tolvek {
namespace {

TEST(TextUtils, StartsWithIsCaseSensitive) {
  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_TRUE(StartsWith("abc", "ab"));
  EXPECT_FALSE(StartsWith("abc", "AB"));
  EXPECT_FALSE(StartsWith("ab", "abc"));
}

TEST(TextUtils, TranslateStringPictures) {
  EXPECT_EQ(TranslateString("#bgr#0000ff", "#bgr#BBGGRR", "#RRGGBB", true), "#ff0000");
  EXPECT_EQ(TranslateString("abcdef", "XXYYZZ", "ZZ.YY.XX", true), "ef.cd.ab");
  EXPECT_EQ(TranslateString("abc", "xyz", "z-x", false), "c-a");
  // A value too short for the run leaves the rest of the run as it was.
  EXPECT_EQ(TranslateString("#bgr#00", "#bgr#BBGGRR", "#RRGGBB", true), "#RRGG00");
}

TEST(TextUtils, CssStyleParser) {
  using Entries = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    std::string style;
    bool removeSpaces;
    Entries entries;
  };
  for (const Case& c : {
           Case{"{Color: Red; Background-Color: #bgr#00FF00}",
                true,
                {{"color", "red"}, {"background-color", "#00ff00"}}},
           Case{"{Color: Red; Background-Color: #bgr#00FF00}",
                false,
                {{"color", " red"}, {"background-color", " #bgr#00ff00"}}},
           Case{"c:$0000FF", true, {{"c", "#ff0000"}}},
           Case{"c:#rgb#112233", true, {{"c", "#112233"}}},
           Case{";color:red", true, {}},
           Case{"a:1;b:2;", true, {{"a", "1"}, {"b", "2"}}},
           Case{"a:1\nb:2\n", true, {{"a", "1"}, {"b", "2"}}},
           Case{"color : red", false, {{"color ", " red"}}},
           Case{"url:a:b", true, {{"url", "a"}}},
           Case{"bold", true, {{"bold", ""}}},
           Case{"a:1;;\t;b:2", true, {{"a", "1"}, {"b", "2"}}},
       }) {
    std::vector<CssStyle> list{{"stale", "entry"}};
    CssStyleParser(c.style, list, c.removeSpaces);
    Entries got;
    for (const CssStyle& s : list) got.emplace_back(s.name, s.value);
    EXPECT_EQ(got, c.entries) << c.style;
  }
}

TEST(TextUtils, Maxima) {
  EXPECT_EQ(MaxI(3, 2), 3);
  EXPECT_EQ(MaxI(-1, 2), 2);
  EXPECT_TRUE(std::isnan(MaxD(NAN, 1.0)));
  EXPECT_EQ(MaxD(1.0, NAN), 1.0);
  EXPECT_EQ(MaxD(1.0, 2.0), 2.0);
}

TEST(TextUtils, ToAsciiGivesAnsiBytesAndOneZero) {
  for (auto [text, bytes] :
       {std::pair<std::string, std::string>{"", ""}, {"ä€x", "\xE4\x80x"}, {"Ж", "?"}}) {
    auto* block = static_cast<char*>(ToAscii(text));
    ASSERT_EQ(MemorySize(block), static_cast<int64_t>(bytes.size() + 1));
    EXPECT_EQ(std::string(block, bytes.size()), bytes);
    EXPECT_EQ(block[bytes.size()], '\0');
    FreeMemory(block);
  }
}

TEST(TextUtils, FindCharacterInMemoryLooksAtWholeUnitsOnly) {
  auto* block = static_cast<unsigned char*>(AllocateMemoryWithCheck(5));
  std::memcpy(block, "a\0b\0c", 5);  // the final odd byte "c" is not a unit
  EXPECT_EQ(FindCharacterInMemory(block, 'b', false), 2);
  EXPECT_EQ(FindCharacterInMemory(block, 'b', true), reinterpret_cast<intptr_t>(block + 2));
  EXPECT_EQ(FindCharacterInMemory(block, 'c', false), -1);
  FreeMemory(block);
  void* tiny = AllocateMemoryWithCheck(1);
  EXPECT_EQ(FindCharacterInMemory(tiny, 0, false), -1);
  FreeMemory(tiny);
}

}  // namespace
}  // namespace tolvek
