#include "tolvek/app_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "file_size_limit.h"
#include "scoped_env.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool IsFile(const std::string& path) {
  return fs::is_regular_file(path);
}

using lumivex_testing::ScopedEnv;

// A home folder and an application-data folder of the test's own.
class AppDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvek-appdir-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
    m_home = m_root + "/home";
    m_appData = m_root + "/appdata";
    fs::create_directories(m_home);
    fs::create_directories(m_appData);
    m_envHome.emplace("HOME", m_home);
    m_envAppData.emplace("APPDATA", m_appData);
    m_envXdg.emplace("XDG_CONFIG_HOME", std::nullopt);
  }
  void TearDown() override {
    m_envXdg.reset();
    m_envAppData.reset();
    m_envHome.reset();
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }

  std::string m_root, m_home, m_appData;
  std::optional<ScopedEnv> m_envHome, m_envAppData, m_envXdg;
};

TEST_F(AppDir, BaseFolderFollowsTheEnvironment) {
  struct Case {
    const char* what;
    std::optional<std::string> appData;
    std::optional<std::string> xdg;
    std::string expected;  // below the test root
  };
  const Case cases[] = {
      {"application data set", "/appdata", "/xdg", "/appdata/Tolvek/"},
      {"application data set with a trailing slash", "/appdata/", std::nullopt, "/appdata/Tolvek/"},
      {"application data empty", "", "/xdg", "/xdg/Tolvek/"},
      {"application data unset", std::nullopt, "/xdg", "/xdg/Tolvek/"},
      // A fresh account without a configuration folder gets one.
      {"neither set", std::nullopt, std::nullopt, "/home/.config/Tolvek/"},
      {"both empty", "", "", "/home/.config/Tolvek/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnv appData("APPDATA", c.appData
                                     ? std::optional(c.appData->empty() ? "" : m_root + *c.appData)
                                     : std::nullopt);
    ScopedEnv xdg("XDG_CONFIG_HOME",
                  c.xdg ? std::optional(c.xdg->empty() ? "" : m_root + *c.xdg) : std::nullopt);
    std::string dir = GetApplicationDirectory("Tolvek");
    EXPECT_EQ(dir, m_root + c.expected);
    EXPECT_TRUE(fs::is_directory(dir));
    fs::remove_all(dir);
  }
}

TEST_F(AppDir, AnOlderSingleFileMovesIntoTheNewFolder) {
  Write(m_appData + "/Tolvek", "old settings");
  std::string dir = GetApplicationDirectory("Tolvek");
  EXPECT_EQ(dir, m_appData + "/Tolvek/");
  EXPECT_EQ(Read(dir + "Tolvek"), "old settings");
  EXPECT_FALSE(fs::exists(m_appData + "/Tolvek.temp"));
  // A second call finds the folder and changes nothing.
  EXPECT_EQ(GetApplicationDirectory("Tolvek"), dir);
  EXPECT_EQ(Read(dir + "Tolvek"), "old settings");
}

TEST_F(AppDir, AParkingNameAlreadyTakenLosesNothing) {
  Write(m_appData + "/Tolvek", "old settings");
  Write(m_appData + "/Tolvek.temp", "unrelated");
  EXPECT_EQ(GetApplicationDirectory("Tolvek"), m_appData + "/Tolvek/");
  EXPECT_EQ(Read(m_appData + "/Tolvek"), "old settings");
  EXPECT_EQ(Read(m_appData + "/Tolvek.temp"), "unrelated");
}

TEST_F(AppDir, FilesOfTheOlderLayoutMoveFromTheHomeFolder) {
  struct Case {
    const char* what;
    std::optional<std::string> plain, dotted, existing;
    std::string expected;  // contents at the application path afterwards
    bool plainStays, dottedStays;
  };
  const Case cases[] = {
      {"plain name", "plain", std::nullopt, std::nullopt, "plain", false, false},
      {"dotted name", std::nullopt, "dotted", std::nullopt, "dotted", false, false},
      {"both: only the plain one moves", "plain", "dotted", std::nullopt, "plain", false, true},
      {"never over a file already in place", "plain", std::nullopt, "current", "current", true,
       false},
      {"nothing to move", std::nullopt, std::nullopt, std::nullopt, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string plain = m_home + "/ListIconRequester";
    std::string dotted = m_home + "/.ListIconRequester";
    if (c.plain) Write(plain, *c.plain);
    if (c.dotted) Write(dotted, *c.dotted);
    fs::create_directories(m_appData + "/Tolvek");
    if (c.existing) Write(m_appData + "/Tolvek/ListIconRequester", *c.existing);

    std::string path = GetApplicationDirectoryPath4File("Tolvek", "ListIconRequester");
    EXPECT_EQ(path, m_appData + "/Tolvek/ListIconRequester");
    if (c.expected.empty()) {
      EXPECT_FALSE(fs::exists(path));
    } else {
      EXPECT_EQ(Read(path), c.expected);
    }
    EXPECT_EQ(IsFile(plain), c.plainStays);
    EXPECT_EQ(IsFile(dotted), c.dottedStays);
    fs::remove(plain);
    fs::remove(dotted);
    fs::remove_all(m_appData + "/Tolvek");
  }
}

const unsigned char kKept[] = {'M', 'Z', 0, 1, 2, 0xff, '\n', '\r'};

TEST_F(AppDir, KeptBlockLengthAndWriteReplacesContents) {
  EXPECT_EQ(GetBinaryLengthFromDatasection(kKept, kKept + sizeof kKept), 8);
  std::string path = m_root + "/kept.bin";
  Write(path, std::string(100, 'x'));
  chmod(path.c_str(), 0750);
  ASSERT_TRUE(WriteBinaryFromDatasection2Disk(kKept, kKept + sizeof kKept, path));
  EXPECT_EQ(Read(path), std::string(reinterpret_cast<const char*>(kKept), sizeof kKept));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);  // an existing file keeps its permissions

  ASSERT_TRUE(WriteBinaryFromDatasection2Disk(kKept, kKept, path));
  EXPECT_EQ(fs::file_size(path), 0u);
  // Only the target is left in the folder: no helper files beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_root), fs::directory_iterator()), 3);
}

TEST_F(AppDir, AFailedWriteReportsFailureAndLeavesNoPartialFile) {
  std::string path = m_root + "/kept.bin";
  Write(path, "previous");
  // A file-size limit makes the write fail part-way, as a full disk would.
  bool written = true, fresh = true;
  {
    lumivex_testing::FileSizeLimit limit(4);
    ASSERT_TRUE(limit.Set());
    written = WriteBinaryFromDatasection2Disk(kKept, kKept + sizeof kKept, path);
    fresh = WriteBinaryFromDatasection2Disk(kKept, kKept + sizeof kKept, m_root + "/new.bin");
  }

  EXPECT_FALSE(written);
  EXPECT_FALSE(fresh);
  EXPECT_EQ(Read(path), "previous");
  EXPECT_FALSE(fs::exists(m_root + "/new.bin"));
  EXPECT_EQ(std::distance(fs::directory_iterator(m_root), fs::directory_iterator()), 3);

  EXPECT_FALSE(WriteBinaryFromDatasection2Disk(kKept, kKept + 1, m_root + "/missing/x.bin"));
  EXPECT_FALSE(WriteBinaryFromDatasection2Disk(kKept, kKept + 1, m_home));
  EXPECT_TRUE(fs::is_directory(m_home));
}

}  // namespace
}  // namespace tolvek
