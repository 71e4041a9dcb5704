// Filter rules as text: how a stored pattern is listed, how each change rewrites a global
// file or a session group, and what the converter's ignore list is made of.
#include "workbench/filter_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace workbench;

const std::string kGroup = "evtweave_fileignores.session";

TEST(FilterRulesTest, APatternIsListedByItsStarsAndRebuiltCanonically) {
  const struct {
    const char* pattern;
    MatchType type;
    const char* text;
    const char* canonical;
  } kCases[] = {
      {"abc", MatchType::kFull, "abc", "abc"},
      {"abc*", MatchType::kHeading, "abc", "abc*"},
      {"*abc", MatchType::kTrailing, "abc", "*abc"},
      {"**abc*", MatchType::kSub, "abc", "*abc*"},
      {"*", MatchType::kSub, "", "**"},
      {"", MatchType::kFull, "", ""},
      {"REGEX:^a.*\\.exe$", MatchType::kRegex, "^a.*\\.exe$", "REGEX:^a.*\\.exe$"},
      {"REGEX:*x*", MatchType::kRegex, "*x*", "REGEX:*x*"},
      {"regex:x", MatchType::kFull, "regex:x", "regex:x"},  // the prefix is case-sensitive
      {"a*b", MatchType::kFull, "a*b", "a*b"},
  };
  for (const auto& c : kCases) {
    ListedRule listed = ListedForm(c.pattern, "rw");
    EXPECT_EQ(listed.type, c.type) << c.pattern;
    EXPECT_EQ(listed.text, c.text) << c.pattern;
    EXPECT_EQ(CanonicalPattern(listed), c.canonical) << c.pattern;
    EXPECT_EQ(ListedForm(CanonicalPattern(listed), "rw"), listed) << c.pattern;
    EXPECT_EQ(MatchTypeNamed(MatchTypeName(c.type)), c.type);
  }
}

TEST(FilterRulesTest, EveryGlobalLineIsARuleWithWhateverItHolds) {
  const std::string text =
      "c:\\x.exe\trw\r\n"
      "#*.tmp\tr\n"
      "no tab\n\r"  // LF CR is one line end
      "\n"
      "a\tw\textra\r"
      "#\n"
      "REGEX:a|b\\c\t";
  std::vector<FilterRule> rules = ParseGlobalRules(text);
  const std::vector<std::vector<std::string>> expected = {
      {"c:\\x.exe", "rw", "1"}, {"*.tmp", "r", "0"}, {"no tab", "", "1"},       {"", "", "1"},
      {"a", "w", "1"},          {"", "", "0"},       {"REGEX:a|b\\c", "", "1"},
  };
  ASSERT_EQ(rules.size(), expected.size());
  for (size_t i = 0; i < rules.size(); ++i) {
    EXPECT_EQ(rules[i].pattern, expected[i][0]) << i;
    EXPECT_EQ(rules[i].access, expected[i][1]) << i;
    EXPECT_EQ(rules[i].enabled, expected[i][2] == "1") << i;
  }
  // Bars and backslashes survive the pick list's cells both ways.
  ListedRule odd = ListedForm(rules.back());
  EXPECT_EQ(ListedRow(odd), "Regular Expression|a\\|b\\\\c|");
  ASSERT_EQ(DecodeListedRows(ListedRow(odd) + "\n" + ListedRow(ListedForm(rules[1]))).size(), 2u);
  EXPECT_EQ(DecodeListedRows(ListedRow(odd))[0], odd);
}

TEST(FilterRulesTest, StoredTextKeepsItsLettersWhateverItsEncoding) {
  const std::string utf8 = "c:\\caf\xC3\xA9\\*\trw\n";
  EXPECT_EQ(DecodeStoredText(utf8), utf8);
  EXPECT_EQ(DecodeStoredText("\xEF\xBB\xBF" + utf8), utf8);
  EXPECT_EQ(DecodeStoredText("c:\\caf\xE9\\*\trw\n"), utf8);  // a hand-edited ANSI file
  EXPECT_EQ(DecodeStoredText(std::string("\xFF\xFE"
                                         "a\0\t\0r\0",
                                         8)),
            "a\tr");
  // Written back as UTF-8 and read again, unchanged.
  std::string bytes = AddGlobalRule(DecodeStoredText("c:\\caf\xE9\\*\trw\n"), {"\xC3\xBC", "r"});
  EXPECT_EQ(bytes, "c:\\caf\xC3\xA9\\*\trw\n\xC3\xBC\tr\r\n");
  EXPECT_EQ(ParseGlobalRules(DecodeStoredText(bytes))[1].pattern, "\xC3\xBC");
}

TEST(FilterRulesTest, GlobalChangesRewriteOnlyTheRulesTheyConcern) {
  const std::string file =
      "\r\n"
      "x.exe\trw\r\n"
      "*x.exe\trw\r\n"
      "#x.exe\trw\r\n"
      "x.exe\tr\r\n"
      "**abc*\tw\r\n"
      "x.exe\trw\textra\r\n"
      "\r\n\r\n";
  const ListedRule fullX{MatchType::kFull, "x.exe", "rw"};
  const ListedRule subAbc{MatchType::kSub, "abc", "w"};

  EXPECT_EQ(
      AddGlobalRule(file, {"new*", "r"}),
      "x.exe\trw\n*x.exe\trw\n#x.exe\trw\nx.exe\tr\n**abc*\tw\nx.exe\trw\textra\nnew*\tr\r\n");
  EXPECT_EQ(AddGlobalRule("", {"new", "rw"}), "new\trw\r\n");

  // A hand-edited rule is found by what the manager shows; the mark stays.
  EXPECT_EQ(EditGlobalRule(file, fullX, "y.exe", "r"),
            "y.exe\tr\n*x.exe\trw\n#y.exe\tr\nx.exe\tr\n**abc*\tw\ny.exe\tr\r\n");
  EXPECT_EQ(EditGlobalRule(file, subAbc, "*abd*", "w"),
            "x.exe\trw\n*x.exe\trw\n#x.exe\trw\nx.exe\tr\n*abd*\tw\nx.exe\trw\textra\r\n");
  // A rule that has gone meanwhile changes nothing but the line ends.
  EXPECT_EQ(EditGlobalRule("a\trw\r\n", fullX, "b", "rw"), "a\trw\r\n");

  EXPECT_EQ(DeleteGlobalRules(file, {fullX}), "*x.exe\trw\nx.exe\tr\n**abc*\tw\r\n");
  EXPECT_EQ(DeleteGlobalRules(file, {}),
            "x.exe\trw\n*x.exe\trw\n#x.exe\trw\nx.exe\tr\n**abc*\tw\nx.exe\trw\textra\r\n");
  // An emptied store is an empty file, never one empty rule.
  EXPECT_EQ(DeleteGlobalRules("a\trw\r\n", {{MatchType::kFull, "a", "rw"}}), "");
  EXPECT_TRUE(
      ParseGlobalRules(DeleteGlobalRules("a\trw\r\n", {{MatchType::kFull, "a", "rw"}})).empty());

  // Enable/disable writes every listed rule back in canonical form; alike rows go together.
  std::vector<FilterRule> rules = ParseGlobalRules(NormaliseGlobalText(file));
  EXPECT_EQ(RewriteGlobalRules(rules, {subAbc, fullX}),
            "x.exe\trw\n#*x.exe\trw\nx.exe\trw\n#x.exe\tr\n*abc*\tw\nx.exe\trw\r\n");
  EXPECT_EQ(RewriteGlobalRules(rules, {}),
            "#x.exe\trw\n#*x.exe\trw\n#x.exe\trw\n#x.exe\tr\n#*abc*\tw\n#x.exe\trw\r\n");
}

TEST(FilterRulesTest, SessionRulesAreKeysOfTheirGroup) {
  const std::string file =
      "procmonfile = /a.csv\n"
      "[evtweave_serverignores.session]\n"
      "1.2.3.4 = rw\n"
      "[EVTWEAVE_FILEIGNORES.SESSION]\n"
      "; a note\n"
      "a{equ}b = rw\n"
      ">*.tmp = r\n"
      "[other]\n"
      "k = v\n";
  std::vector<FilterRule> rules = ParseSessionRules(file, kGroup);
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].pattern, "a=b");
  EXPECT_TRUE(rules[0].enabled);
  EXPECT_EQ(rules[1].pattern, "*.tmp");
  EXPECT_EQ(rules[1].access, "r");
  EXPECT_FALSE(rules[1].enabled);
  EXPECT_TRUE(ParseSessionRules("", kGroup).empty());

  // Keys compare without letter case: replaced in place; a new key ends its group.
  EXPECT_EQ(SetSessionRule(file, kGroup, {"A=B", "w"}),
            "procmonfile = /a.csv\n[evtweave_serverignores.session]\n1.2.3.4 = rw\n"
            "[EVTWEAVE_FILEIGNORES.SESSION]\n; a note\nA{equ}B = w\n>*.tmp = r\n[other]\nk = v\n");
  EXPECT_EQ(SetSessionRule(file, kGroup, {"new", "rw"}),
            "procmonfile = /a.csv\n[evtweave_serverignores.session]\n1.2.3.4 = rw\n"
            "[EVTWEAVE_FILEIGNORES.SESSION]\n; a note\na{equ}b = rw\n>*.tmp = r\nnew = rw\n"
            "[other]\nk = v\n");
  EXPECT_EQ(SetSessionRule("procmonfile = x\r\n", kGroup, {"n", "r"}),
            "procmonfile = x\n[evtweave_fileignores.session]\nn = r\n");

  // Edit keeps the disabled mark, moves the rule to the end; a vanished rule comes back new.
  const ListedRule tmp{MatchType::kTrailing, ".tmp", "r"};
  EXPECT_EQ(ParseSessionRules(EditSessionRule(file, kGroup, tmp, "*.bak", "rw"), kGroup)[1].enabled,
            false);
  EXPECT_EQ(
      EditSessionRule(file, kGroup, tmp, "*.bak", "rw"),
      "procmonfile = /a.csv\n[evtweave_serverignores.session]\n1.2.3.4 = rw\n"
      "[EVTWEAVE_FILEIGNORES.SESSION]\n; a note\na{equ}b = rw\n>*.bak = rw\n[other]\nk = v\n");
  EXPECT_EQ(EditSessionRule("", kGroup, tmp, "*.bak", "rw"),
            "[evtweave_fileignores.session]\n*.bak = rw\n");

  EXPECT_EQ(DeleteSessionRules(file, kGroup, {tmp, {MatchType::kFull, "a=b", "rw"}}),
            "procmonfile = /a.csv\n[evtweave_serverignores.session]\n1.2.3.4 = rw\n"
            "[EVTWEAVE_FILEIGNORES.SESSION]\n; a note\n[other]\nk = v\n");

  // Enable/disable makes the group anew at the end: the disabled rules, then the enabled.
  EXPECT_EQ(RewriteSessionRules(file, kGroup, rules, {tmp}),
            "procmonfile = /a.csv\n[evtweave_serverignores.session]\n1.2.3.4 = rw\n"
            "[other]\nk = v\n[evtweave_fileignores.session]\n>a{equ}b = rw\n*.tmp = r\n");
  EXPECT_EQ(RewriteSessionRules(file, "evtweave_registrykeyignores.session", {}, {}), file);
}

TEST(FilterRulesTest, TheIgnoreListJoinsGlobalAndSessionRules) {
  const std::string session =
      "[evtweave_fileignores.session]\n"
      ">c:\\a{equ}b = rw\n"
      "*.log = \t r  \n";
  EXPECT_EQ(IgnoreListText("a\trw\r\n*b*\tr\r\n#c\tw\r\n\r\n\r\n", session, kGroup),
            "a\trw\n*b*\tr\n#c\tw\n#c:\\a=b\trw\r\n*.log\tr\r\n");
  EXPECT_EQ(IgnoreListText("a\trw", session, "evtweave_serverignores.session"), "a\trw\n");
  EXPECT_EQ(IgnoreListText("", "", kGroup), "\n");
}

TEST(FilterRulesTest, OnlyPatternsThatReadBackAreStored) {
  const struct {
    const char* pattern;
    bool oneLine, sessionKey;
  } kCases[] = {
      {"c:\\windows\\*", true, true}, {"a=b", true, true},      {"a\tb", false, false},
      {"a\nb", false, false},         {"a\rb", false, false},   {" lead", true, false},
      {"trail ", true, false},        {"[group]", true, false}, {"REGEX:[a-z]", true, false},
      {";comment", true, false},      {"x;y", true, false},     {"\xC3\xA9", true, true},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PatternFitsOneLine(c.pattern), c.oneLine) << c.pattern;
    EXPECT_EQ(SessionKeyReadsBack(c.pattern), c.sessionKey) << c.pattern;
  }
}

}  // namespace
