// The session file's keys as text: what is read back, what a write keeps, and damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbench/session_file.h"

namespace {

using namespace workbench;

SessionValues Values(const std::string& procmon, const std::string& capture,
                     const std::string& launcher, const std::string& states) {
  SessionValues values;
  values[0] = procmon;
  values[1] = capture;
  values[2] = launcher;
  for (size_t k = 3; k < kSessionKeyCount; ++k) values[k] = std::string(1, states[k - 3]);
  return values;
}

TEST(SessionFileTest, EveryValueReadsBackAsWrittenAndASecondWriteChangesNoByte) {
  struct Case {
    const char* name;
    SessionValues values;
  } cases[] = {
      {"defaults", Values("", "", "", "00001111110111111")},
      {"all set", Values("/cases/a b/log.csv", "/cases/a b/cap.pcap", "1234|567|sample.exe",
                         "11111111111111111")},
      {"all clear", Values("x", "y", "z", "00000000000000000")},
      {"blanks at both ends", Values("  lead", "trail  ", " both ", "10101010101010101")},
      {"non-ASCII and quotes", Values("/fälle/日本/\"quoted\" 'one'.csv", "C:\\Dumps\\c.txt",
                                      "0|4|\xC3\xA9v\xC3\xA8nement.exe", "01010101010101010")},
      {"format characters",
       Values("a = b ; c", "[not a group]", ";not a comment", "11001100110011001")},
  };
  for (const Case& c : cases) {
    for (const char* old :
         {"", "; notes\nother = kept\n[evtweave_fileignores.session]\nx = rw\n"}) {
      std::optional<std::string> first = WriteSessionKeys(old, c.values);
      ASSERT_TRUE(first) << c.name;
      EXPECT_EQ(SessionValuesOnLoad(ReadSessionKeys(*first)), c.values) << c.name;
      EXPECT_EQ(WriteSessionKeys(*first, c.values), first) << c.name;
    }
  }
}

// A file that a filter rule created first holds only groups: the keys go in front of them,
// or the reader (which stops at the first group) would never see them.
TEST(SessionFileTest, KeysStandBeforeEveryGroupAndOtherLinesStay) {
  const std::string old =
      "; my notes\r\n"
      "ProcmonFile = /old.csv\r\n"
      "extra = 1\r\n"
      "[evtweave_fileignores.session]\r\n"
      "procmonfile = /in/a/group.csv\r\n"
      "*.tmp\t rw\r\n";
  SessionValues values = Values("/new.csv", "", "", "00001111110111111");
  std::string text = *WriteSessionKeys(old, values);
  EXPECT_EQ(text.find("; my notes\nprocmonfile = /new.csv\nextra = 1\nwindumpfile = \n"), 0u)
      << text;
  size_t group = text.find(
      "[evtweave_fileignores.session]\nprocmonfile = /in/a/group.csv\n"
      "*.tmp\t rw\n");
  ASSERT_NE(group, std::string::npos) << text;
  EXPECT_GT(group, text.find("renderoption_files_loads = 1\n"));

  std::string groupsOnly = *WriteSessionKeys("[evtweave_serverignores.session]\nsrv = r\n", values);
  EXPECT_EQ(groupsOnly.find("procmonfile = /new.csv\n"), 0u);
  EXPECT_EQ(SessionValuesOnLoad(ReadSessionKeys(groupsOnly)), values);
}

TEST(SessionFileTest, MissingKeysLoadAsTheirDefaults) {
  SessionValues loaded = SessionValuesOnLoad(ReadSessionKeys(""));
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    const SessionKey& key = kSessionKeys[k];
    EXPECT_EQ(loaded[k], key.text ? "" : std::to_string(key.loadDefault)) << key.name;
  }
}

// Saving under another name takes the case's rules along: the target's own rule groups give
// way to the source's, everything else of the target stays, other groups of the source don't
// come.
TEST(SessionFileTest, TheRuleGroupsOfOneFileReplaceAnothersOfTheSameNames) {
  const std::vector<std::string> groups = {"evtweave_fileignores.session",
                                           "evtweave_serverignores.session"};
  const std::string source =
      "procmonfile = /source.csv\r\n"
      "[evtweave_fileignores.session]\r\n"
      "*.tmp\trw\r\n"
      "[elsewhere]\r\n"
      "k = v\r\n"
      "[EVTWEAVE_SERVERIGNORES.SESSION]\r\n"
      "REGEX:^a\\.b$\tr\r\n";
  const struct {
    const char* name;
    std::string target, expected;
  } kCases[] = {
      {"a new file", "",
       "[evtweave_fileignores.session]\n*.tmp\trw\n"
       "[EVTWEAVE_SERVERIGNORES.SESSION]\nREGEX:^a\\.b$\tr\n"},
      {"a file with rules of its own",
       "modedumb = 1\n[evtweave_serverignores.session]\nold\tr\n[mine]\nx = 1\n",
       "modedumb = 1\n[mine]\nx = 1\n[evtweave_fileignores.session]\n*.tmp\trw\n"
       "[EVTWEAVE_SERVERIGNORES.SESSION]\nREGEX:^a\\.b$\tr\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(WithSessionGroups(c.target, source, groups), c.expected) << c.name;
  }
  // A source without rules leaves none of the names in the target.
  EXPECT_EQ(WithSessionGroups("[evtweave_fileignores.session]\na\tr\n", "modedumb = 1\n", groups),
            "");
}

TEST(SessionFileTest, DamagedFilesGiveDefaultsForWhatTheyLack) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  std::string hugeLine = "procmonfile = " + std::string(10 << 20, 'x') + "\n";
  struct Case {
    const char* name;
    std::string text;
    size_t key;
    std::string expected;
  } cases[] = {
      {"binary garbage", garbage, 7, "1"},
      {"a key then garbage", "modedumb = 1\n" + garbage, 5, "1"},
      {"a 10 MB line", hugeLine + "modedumb=1", 0, std::string(10 << 20, 'x')},
      {"a state that is no number", "renderoption_files = yes\n", 11, "1"},
      {"a state other than 0 and 1", "modenopaths = 7\n", 3, "1"},
      {"the first of two lines counts", "launcher = a\nLAUNCHER = b\n", 2, "a"},
      {"a key inside a group is not the session's", "[g]\nmodedumb = 1\n", 5, "0"},
      {"byte-order mark and CR line ends", "\xEF\xBB\xBFmodedumb = 1\rlauncher = z\r", 2, "z"},
  };
  for (const Case& c : cases) {
    SessionValues values = SessionValuesOnLoad(ReadSessionKeys(c.text));
    EXPECT_EQ(values[c.key], c.expected) << c.name;
  }
  EXPECT_EQ(SessionValuesOnLoad(ReadSessionKeys(hugeLine + "modedumb=1"))[5], "1");
}

TEST(SessionFileTest, AValueWithALineBreakIsRefusedNotCut) {
  for (const char* bad : {"a\nb", "a\rb", "\n"}) {
    SessionValues values = Values("", "", "", "00001111110111111");
    values[1] = bad;
    EXPECT_FALSE(WriteSessionKeys("", values));
  }
}

TEST(SessionFileTest, TheExtensionIsAppendedUnlessPresentInAnyCase) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/s/case", "/s/case.lv"},
      {"/s/case.lv", "/s/case.lv"},
      {"/s/case.LV", "/s/case.LV"},
      {"/s/case.Lv", "/s/case.Lv"},
      {"/s/case.lvx", "/s/case.lvx.lv"},
      {"lv", "lv.lv"},
      {"", ".lv"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseSessionPath(c.path), c.expected) << c.path;
}

}  // namespace
