#include "tolvek/preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tolvek/hex_form.h"
#include "workbench/fifo_releaser.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tolvek-prefs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    ClosePreferences();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string& name) { return m_dir + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string m_dir;
};

TEST_F(Preferences, WritesGroupsInOrderAndReadsThemBack) {
  std::string path = Path("a.prefs");
  ASSERT_TRUE(CreatePreferences(path));
  WritePreferenceString("top", "level");
  EXPECT_FALSE(PreferenceGroup("First"));
  WritePreferenceString("Key", "one");
  WritePreferenceString("Spaced", "  kept  ");
  EXPECT_FALSE(PreferenceGroup("second"));
  WritePreferenceString("k", "two");
  EXPECT_TRUE(PreferenceGroup("FIRST"));  // names ignore letter case
  WritePreferenceString("KEY", "replaced");
  ASSERT_TRUE(ClosePreferences());
  EXPECT_EQ(Read(path),
            "top = level\n[First]\nKEY = replaced\nSpaced =   kept  \n[second]\nk = two\n");

  ASSERT_TRUE(OpenPreferences(path));
  EXPECT_EQ(ReadPreferenceString("top"), "level");
  ASSERT_TRUE(PreferenceGroup("first"));
  EXPECT_EQ(ReadPreferenceString("key"), "replaced");
  EXPECT_EQ(ReadPreferenceString("Spaced"), "  kept  ");
  EXPECT_EQ(ReadPreferenceString("missing", "dflt"), "dflt");
  std::vector<std::string> names;
  ASSERT_TRUE(ExaminePreferenceGroups());
  while (NextPreferenceGroup()) names.push_back(PreferenceGroupName());
  EXPECT_EQ(names, (std::vector<std::string>{"First", "second"}));
  // Nothing changed: closing leaves the file as it is.
  ASSERT_TRUE(ClosePreferences());
}

// Keys are listed as the file holds them: comments skipped, repeats kept, names as spelled.
TEST_F(Preferences, ListsTheKeysOfAGroupInFileOrder) {
  std::string path = Path("keys.prefs");
  std::ofstream(path, std::ios::binary) << "top=1\n[g]\n; note\nIP-Address = 10.0.0.1\n\n"
                                           "Path = C:\\x\nIP-ADDRESS = again\n[empty]\n; only\n";
  ASSERT_TRUE(OpenPreferences(path));
  auto list = [] {
    std::vector<std::string> keys;
    if (!ExaminePreferenceKeys()) return std::vector<std::string>{"(none)"};
    while (NextPreferenceKey()) keys.push_back(PreferenceKeyName() + "=" + PreferenceKeyValue());
    return keys;
  };
  ASSERT_TRUE(PreferenceGroup("G"));
  EXPECT_EQ(list(),
            (std::vector<std::string>{"IP-Address=10.0.0.1", "Path=C:\\x", "IP-ADDRESS=again"}));
  ASSERT_TRUE(PreferenceGroup("empty"));
  EXPECT_EQ(list(), std::vector<std::string>{});
  ASSERT_TRUE(PreferenceGroup(""));
  EXPECT_EQ(list(), std::vector<std::string>{"top=1"});
  // A group that is not in the file has no keys to list, and listing does not make it.
  EXPECT_FALSE(PreferenceGroup("missing"));
  EXPECT_EQ(list(), std::vector<std::string>{"(none)"});
  ClosePreferences();
  EXPECT_FALSE(ExaminePreferenceKeys());
}

TEST_F(Preferences, KeepsCommentsAndForeignLineEndsOnRewrite) {
  std::string path = Path("b.prefs");
  std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF; note\r\n[g]\r\na=1\r\n\r\n[h]\rb = 2\r";
  ASSERT_TRUE(OpenPreferences(path));
  ASSERT_TRUE(PreferenceGroup("h"));
  EXPECT_EQ(ReadPreferenceString("b"), "2");
  ASSERT_TRUE(PreferenceGroup("g"));
  EXPECT_EQ(ReadPreferenceString("a"), "1");
  WritePreferenceString("c", "line\nbreak");
  ASSERT_TRUE(ClosePreferences());
  EXPECT_EQ(Read(path), "; note\n[g]\na = 1\n\nc = line break\n[h]\nb = 2\n");
}

// Small and large groups are searched differently; both must find the first of duplicate
// keys, ignore letter case, and see keys added after earlier look-ups.
TEST_F(Preferences, FindsKeysInSmallAndLargeGroupsAlike) {
  for (int count : {3, 40}) {
    SCOPED_TRACE(count);
    std::string path = Path("big" + std::to_string(count) + ".prefs");
    std::string text = "[g]\nDup = first\n";
    for (int i = 0; i < count; ++i)
      text += "k" + std::to_string(i) + " = v" + std::to_string(i) + "\n";
    text += "dup = second\n";
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(OpenPreferences(path));
    ASSERT_TRUE(PreferenceGroup("G"));
    EXPECT_EQ(ReadPreferenceString("DUP"), "first");
    EXPECT_EQ(ReadPreferenceString("K" + std::to_string(count - 1)),
              "v" + std::to_string(count - 1));
    EXPECT_EQ(ReadPreferenceString("new", "none"), "none");
    WritePreferenceString("New", "added");
    EXPECT_EQ(ReadPreferenceString("nEW"), "added");
    WritePreferenceString("NEW", "again");
    WritePreferenceString("dUP", "replaced");
    ASSERT_TRUE(ClosePreferences());
    std::string expected = "[g]\ndUP = replaced\n" + text.substr(text.find("k0")) + "NEW = again\n";
    EXPECT_EQ(Read(path), expected);
  }
}

TEST_F(Preferences, HexNamedGroupsCarryAnyText) {
  std::string path = Path("c.prefs");
  const std::vector<std::string> names = {"FILE:c:\\\\a]b=c.txt", "SERVER:x", "[odd]", "é"};
  ASSERT_TRUE(CreatePreferences(path));
  for (const std::string& name : names) {
    EXPECT_FALSE(PreferenceGroupHexified(name));
    WritePreferenceString("ID", name);
    EXPECT_TRUE(PreferenceGroupHexified(name));
  }
  ASSERT_TRUE(ClosePreferences());
  ASSERT_TRUE(OpenPreferences(path));
  std::vector<std::string> listed;
  ExaminePreferenceGroups();
  while (NextPreferenceGroup()) {
    listed.push_back(PreferenceGroupNameHexified());
    EXPECT_EQ(ReadPreferenceString("ID"), listed.back());
  }
  EXPECT_EQ(listed, names);
}

TEST_F(Preferences, FailuresAreReported) {
  EXPECT_FALSE(OpenPreferences(Path("missing")));
  EXPECT_FALSE(OpenPreferences(m_dir));  // a folder is no preference file
  EXPECT_FALSE(CreatePreferences(""));
  EXPECT_FALSE(CreatePreferences(Path("no/such/folder/x")));
  // The folder goes away between creating and writing: the write fails and says so.
  fs::create_directory(Path("sub"));
  std::string path = Path("sub/d.prefs");
  ASSERT_TRUE(CreatePreferences(path));
  WritePreferenceString("k", "v");
  fs::remove(Path("sub"));
  EXPECT_FALSE(ClosePreferences());
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(Preferences, OnlyRegularFilesWithinTheLimitAreRead) {
  {
    // Planted where a settings file is read: refused at once, never waited on.
    wbtest::FifoReleaser fifo(Path("fifo.prefs"));
    EXPECT_FALSE(OpenPreferences(Path("fifo.prefs")));
    EXPECT_FALSE(fifo.Released());
  }
  EXPECT_FALSE(OpenPreferences("/dev/zero"));
  std::ofstream(Path("big.prefs")) << "key = " << std::string(100, 'v') << "\n";
  EXPECT_FALSE(OpenPreferences(Path("big.prefs"), 100));
  ASSERT_TRUE(OpenPreferences(Path("big.prefs"), 200));
  EXPECT_EQ(ReadPreferenceString("key"), std::string(100, 'v'));
}

}  // namespace
}  // namespace tolvek
