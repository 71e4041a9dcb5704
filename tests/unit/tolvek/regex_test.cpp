#include "tolvek/regex.h"

#include <gtest/gtest.h>

namespace tolvek {
namespace {

TEST(Regex, GroupSelection) {
  auto one = CreateRegularExpression("k=(\\d+)");
  auto two = CreateRegularExpression("(\\w)=(\\d+)");
  ASSERT_TRUE(one && two);
  struct Case {
    const Regex* regex;
    int group;
    std::string expected;
  };
  for (const Case& c :
       {Case{one.get(), -1, "12"}, Case{one.get(), 0, "k=12"}, Case{one.get(), 5, "k=12"},
        Case{two.get(), -1, "k=12"}, Case{two.get(), 2, "12"}, Case{two.get(), 3, "k=12"}}) {
    EXPECT_EQ(ExtractRegularExpression1(*c.regex, "x k=12 y=3", c.group, false), c.expected)
        << c.group;
  }
  EXPECT_EQ(ExtractRegularExpression1(*one, "nothing", -1, false), "");
}

TEST(Regex, ListsReplaceOldEntriesAndGroupsThatTookNoPartAreEmpty) {
  auto re = CreateRegularExpression("(a)|(b)");
  std::vector<RegExResult> results(3);
  EXPECT_EQ(ExtractRegularExpression2RegExResultList(*re, "ab", results, false, false), 2);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].group, (std::vector<std::string>{"a", "a", ""}));
  EXPECT_EQ(results[1].group, (std::vector<std::string>{"b", "", "b"}));

  std::vector<std::string> list{"old"};
  EXPECT_EQ(ExtractRegularExpression2List(*re, "zzz", list, 0, false, false), 0);
  EXPECT_TRUE(list.empty());
}

TEST(Regex, Trimming) {
  auto re = CreateRegularExpression("\\[([^\\]]*)\\]");
  std::vector<std::string> list;
  const std::string text = "[\n  \t] [ x ]";
  ExtractRegularExpression2List(*re, text, list, 1, true, true);
  EXPECT_EQ(list, (std::vector<std::string>{"", "x"}));
  ExtractRegularExpression2List(*re, text, list, 1, true, false);
  EXPECT_EQ(list, (std::vector<std::string>{"\n  \t", "x"}));
  ExtractRegularExpression2List(*re, text, list, 1, false, true);
  EXPECT_EQ(list, (std::vector<std::string>{"\n  \t", " x "}));
  EXPECT_EQ(ExtractRegularExpression1(*re, "[ y ]", 1, true), "y");
}

TEST(Regex, EmptyMatchesAdvanceByOneCharacter) {
  auto re = CreateRegularExpression("x*");
  std::vector<std::string> list;
  EXPECT_EQ(ExtractRegularExpression2List(*re, "äxx€", list, 0, false, false), 4);
  EXPECT_EQ(list, (std::vector<std::string>{"", "xx", "", ""}));
}

TEST(Regex, HostileSubjectsEndAsNoMatch) {
  // Catastrophic backtracking hits the match limit instead of running for minutes.
  auto re = CreateRegularExpression("(a+)+$");
  std::string subject(40, 'a');
  subject += 'b';
  EXPECT_EQ(ExtractRegularExpression1(*re, subject, 0, false), "");
  // Invalid UTF-8 is repaired, not rejected.
  auto any = CreateRegularExpression("b.c");
  EXPECT_EQ(ExtractRegularExpression1(*any,
                                      "a\xFF"
                                      "b\xFE"
                                      "c",
                                      0, false),
            "b\uFFFDc");
  EXPECT_EQ(CreateRegularExpression("(unclosed"), nullptr);
  // Callers that search raw text themselves get "no match", not a read past the end.
  Regex::Match match;
  EXPECT_FALSE(
      any->Find("b\xE2"
                "c",
                0, match));
}

TEST(Regex, FlagsAndCharacterClasses) {
  auto re = CreateRegularExpression("^name: (.*?)$", kRegexCaseless | kRegexMultiline);
  EXPECT_EQ(ExtractRegularExpression1(*re, "x\nNAME: Bob\ny", 1, false), "Bob");
  auto dot = CreateRegularExpression("a.b", kRegexDotAll);
  EXPECT_EQ(ExtractRegularExpression1(*dot, "a\nb", 0, false), "a\nb");
}

}  // namespace
}  // namespace tolvek
