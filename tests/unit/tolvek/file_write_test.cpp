#include "tolvek/file_write.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "file_size_limit.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

mode_t LinkFreeMode(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

class FileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvek-filewrite-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    detail::SetOwnUserIdForTest(static_cast<uid_t>(-1));
    fs::remove_all(m_dir);
  }
  // Everything in the folder, so a leftover temporary file shows.
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {}));
  }
  std::string m_dir;
};

TEST_F(FileWrite, ALinkIsFollowedOnlyWhenItIsOursAndTheCallerAllowsIt) {
  struct Case {
    const char* what;
    bool foreign;  // the link belongs to someone else
    bool follow;
    bool followed;
  };
  const Case cases[] = {
      {"our own link", false, true, true},
      {"someone else's link", true, true, false},
      {"our own link, following not allowed", false, false, false},
      {"someone else's link, following not allowed", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string victim = m_dir + "/victim";
    std::string link = m_dir + "/link";
    fs::remove(link);
    Put(victim, "precious");
    ASSERT_EQ(symlink("victim", link.c_str()), 0);
    if (c.foreign) detail::SetOwnUserIdForTest(geteuid() + 1);
    EXPECT_TRUE(WriteFileWhole(link, "new", {.followOwnLinks = c.follow}));
    detail::SetOwnUserIdForTest(static_cast<uid_t>(-1));
    if (c.followed) {
      EXPECT_TRUE(S_ISLNK(LinkFreeMode(link)));
      EXPECT_EQ(Slurp(victim), "new");
    } else {
      EXPECT_TRUE(S_ISREG(LinkFreeMode(link)));
      EXPECT_EQ(Slurp(link), "new");
      EXPECT_EQ(Slurp(victim), "precious");
    }
    EXPECT_EQ(Entries(), 2u);
  }
}

TEST_F(FileWrite, ChainsAndDanglingLinksOfOursLeadToTheirEnd) {
  fs::create_directory(m_dir + "/real");
  ASSERT_EQ(symlink("real/file", (m_dir + "/second").c_str()), 0);
  ASSERT_EQ(symlink((m_dir + "/second").c_str(), (m_dir + "/first").c_str()), 0);
  EXPECT_TRUE(WriteFileWhole(m_dir + "/first", "through two"));
  EXPECT_EQ(Slurp(m_dir + "/real/file"), "through two");
  EXPECT_TRUE(S_ISLNK(LinkFreeMode(m_dir + "/first")));

  // A loop ends in a refusal, not a hang.
  ASSERT_EQ(symlink("loop_b", (m_dir + "/loop_a").c_str()), 0);
  ASSERT_EQ(symlink("loop_a", (m_dir + "/loop_b").c_str()), 0);
  EXPECT_FALSE(WriteFileWhole(m_dir + "/loop_a", "x"));
}

TEST_F(FileWrite, OnlyPlainFilesTheModeLetsUsWriteAreReplaced) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    bool replaced;
    int why = 0;  // errno after a refusal
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}, true},
      {"a writable file", [](const std::string& p) { Put(p, "old"); }, true},
      {"a read-only file (root too)",
       [](const std::string& p) {
         Put(p, "old");
         chmod(p.c_str(), 0444);
       },
       false, EACCES},
      {"a folder", [](const std::string& p) { fs::create_directory(p); }, false, EISDIR},
      {"a FIFO", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, false, EPERM},
      {"a missing folder", [](const std::string&) {}, false, ENOENT},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = m_dir + "/target" + std::to_string(n++);
    if (std::string(c.what) == "a missing folder") path = m_dir + "/nowhere/target";
    c.make(path);
    struct stat before {};
    bool existed = lstat(path.c_str(), &before) == 0;
    size_t entries = Entries();
    errno = 0;
    EXPECT_EQ(WriteFileWhole(path, "new"), c.replaced);
    const int why = errno;
    if (!c.replaced) {
      EXPECT_EQ(why, c.why) << std::strerror(why);
    }
    EXPECT_EQ(ReplaceableTarget(path).empty(), !c.replaced);
    if (c.replaced) {
      EXPECT_EQ(Slurp(path), "new");
    } else if (existed) {
      struct stat after {};
      ASSERT_EQ(lstat(path.c_str(), &after), 0);
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_mode, before.st_mode);
    }
    EXPECT_EQ(Entries(), entries + (c.replaced && !existed ? 1 : 0));
  }
  // A device is refused by the check alone, so that not even a broken writer could
  // replace the machine's /dev/null while this test runs.
  EXPECT_EQ(ReplaceableTarget("/dev/null"), "");
}

// A write that fails part-way (a file-size limit stands in for a full disk) keeps the old
// file, leaves nothing beside it, and says why.
TEST_F(FileWrite, AWriteThatFailsPartWayTellsWhy) {
  const std::string path = m_dir + "/kept";
  Put(path, "previous");
  bool written = true;
  int why = 0;
  {
    lumivex_testing::FileSizeLimit limit(4);
    ASSERT_TRUE(limit.Set());
    errno = 0;
    written = WriteFileWhole(path, "longer than four bytes");
    why = errno;
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(why, EFBIG) << std::strerror(why);
  EXPECT_EQ(Slurp(path), "previous");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileWrite, AReplacedFileKeepsItsPermissionsButNoSpecialBits) {
  std::string path = m_dir + "/program";
  Put(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 07750), 0);
  ASSERT_EQ(LinkFreeMode(path) & 07777, 07750u);
  EXPECT_TRUE(WriteFileWhole(path, "new", {.sync = false}));
  EXPECT_EQ(LinkFreeMode(path) & 07777, 0750u);
  EXPECT_EQ(Slurp(path), "new");
}

}  // namespace
}  // namespace tolvek
