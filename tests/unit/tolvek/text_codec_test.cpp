#include "tolvek/text_codec.h"

#include <gtest/gtest.h>

#include <random>

namespace tolvek {
namespace {

TEST(TextCodec, AnsiIsWindows1252BothWays) {
  struct Case {
    std::string ansi;
    std::string utf8;
  };
  for (const Case& c : {Case{"abc", "abc"}, Case{"\xE4", "ä"}, Case{"\x80", "€"}, Case{"\x9F", "Ÿ"},
                        Case{"\x81", "\xC2\x81"}, Case{"", ""}}) {
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
  for (const Case& c :
       {Case{"plain", "plain"},
        Case{"a\xFF"
             "b",
             "a\uFFFDb"},
        Case{"\xE2\x82", "\uFFFD"}, Case{"\xE2\x82\xAC", "€"},
        Case{"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"}, Case{"\xC0\xAF", "\uFFFD\uFFFD"}}) {
    EXPECT_EQ(SanitizeUtf8(c.in), c.out);
    EXPECT_EQ(IsValidUtf8(c.in), c.in == c.out);
  }
}

TEST(TextCodec, ValidityAgreesWithRepairOnRandomText) {
  // Long texts take the vector path; bytes near the sequence limits make the cases that count.
  std::mt19937 random(7);
  const unsigned char kBytes[] = {'a',  0x00, 0x7F, 0x80, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xED,
                                  0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xA0, 0x9F, 0x8F, 0x90};
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 200, 'x');
    for (char& c : text) {
      if (random() % 4 == 0) c = static_cast<char>(kBytes[random() % sizeof(kBytes)]);
    }
    if (round % 2) text = "\xE2\x82\xAC" + text + "\xF0\x9F\x98\x80";
    ASSERT_EQ(IsValidUtf8(text), SanitizeUtf8(text) == text) << round;
  }
}

TEST(TextCodec, Utf16LeRoundTripWithSurrogatesAndLoneHalves) {
  std::string text = "aä€😀";
  std::string bytes = Utf8ToUtf16Le(text);
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_EQ(Utf16LeToUtf8(bytes.data(), bytes.size() / 2), text);
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(CountCodePoints(text), 4u);
  const char lone[] =
      "\x00\xD8"
      "a\x00";
  EXPECT_EQ(Utf16LeToUtf8(lone, 2), "\uFFFDa");
}

}  // namespace
}  // namespace tolvek
