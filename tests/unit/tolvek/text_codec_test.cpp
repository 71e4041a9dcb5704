#include "tolvek/text_codec.h"

#include <gtest/gtest.h>

namespace tolvek {
namespace {

TEST(TextCodec, AnsiIsWindows1252BothWays) {
  struct Case {
    std::string ansi;
    std::string utf8;
  };
  for (const Case& c : {Case{"abc", "abc"}, Case{"\xE4", "ä"}, Case{"\x80", "€"},
                        Case{"\x9F", "Ÿ"}, Case{"\x81", "\xC2\x81"}, Case{"", ""}}) {
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi);
  }
  EXPECT_EQ(Utf8ToAnsi("Жx😀"), "?x?");
}

TEST(TextCodec, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string in;
    std::string out;
  };
  for (const Case& c : {Case{"plain", "plain"}, Case{"a\xFF" "b", "a\uFFFDb"},
                        Case{"\xE2\x82", "\uFFFD"}, Case{"\xE2\x82\xAC", "€"},
                        Case{"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"}, Case{"\xC0\xAF", "\uFFFD\uFFFD"}}) {
    EXPECT_EQ(SanitizeUtf8(c.in), c.out);
    EXPECT_EQ(IsValidUtf8(c.in), c.in == c.out);
  }
}

TEST(TextCodec, Utf16LeRoundTripWithSurrogatesAndLoneHalves) {
  std::string text = "aä€😀";
  std::string bytes = Utf8ToUtf16Le(text);
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_EQ(Utf16LeToUtf8(bytes.data(), bytes.size() / 2), text);
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(CountCodePoints(text), 4u);
  const char lone[] = "\x00\xD8" "a\x00";
  EXPECT_EQ(Utf16LeToUtf8(lone, 2), "\uFFFDa");
}

}  // namespace
}  // namespace tolvek
