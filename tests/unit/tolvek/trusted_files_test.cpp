// Which paths another user could change: the owner, the write bits and links, along the whole
// way from a folder down to a file.
#include "tolvek/trusted_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tolvek/file_write.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

class TrustedFiles : public ::testing::Test {
 protected:
  // root/plugins/ holds sub/tool.so; root/other/ lies beside it.
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tolvek-trust-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern + "/";
    chmod(m_root.c_str(), 0755);
    for (const char* folder : {"plugins", "plugins/sub", "other"}) {
      fs::create_directory(m_root + folder);
      chmod((m_root + folder).c_str(), 0755);
    }
    for (const char* file : {"plugins/sub/tool.so", "plugins/a.lvp", "other/evil.so"}) {
      std::ofstream(m_root + file) << "x";
      chmod((m_root + file).c_str(), 0644);
    }
  }
  void TearDown() override { fs::remove_all(m_root); }
  std::string Plugins() const { return m_root + "plugins/"; }
  std::string m_root;
};

TEST_F(TrustedFiles, TheFirstPathOthersCouldChangeIsNamed) {
  const struct {
    const char* what;
    std::function<void(const std::string& root)> change;
    std::string file;        // below the plugin folder
    std::string unsafePart;  // below root; "" when all are safe
  } kCases[] = {
      {"all safe", [](const std::string&) {}, "sub/tool.so", ""},
      {"a file the group may write",
       [](const std::string& r) { chmod((r + "plugins/sub/tool.so").c_str(), 0664); },
       "sub/tool.so", "plugins/sub/tool.so"},
      {"a folder on the way others may write",
       [](const std::string& r) { chmod((r + "plugins/sub").c_str(), 0777); }, "sub/tool.so",
       "plugins/sub"},
      {"the plugin folder itself",
       [](const std::string& r) { chmod((r + "plugins").c_str(), 0775); }, "a.lvp", "plugins/"},
      {"a way out of the plugin folder, safe", [](const std::string&) {}, "../other/evil.so", ""},
      {"a way out into a folder others may write",
       [](const std::string& r) { chmod((r + "other").c_str(), 0777); }, "../other/evil.so",
       "plugins/../other"},
      {"a link to a safe file",
       [](const std::string& r) { fs::create_symlink(r + "other/evil.so", r + "plugins/l.so"); },
       "l.so", "plugins/l.so"},
      {"a link to a safe folder",
       [](const std::string& r) { fs::create_directory_symlink(r + "other", r + "plugins/l"); },
       "l/evil.so", "plugins/l"},
      {"a folder where a file is named", [](const std::string&) {}, "sub", "plugins/sub"},
  };
  for (const auto& c : kCases) {
    TearDown();
    SetUp();
    c.change(m_root);
    const std::string expected = c.unsafePart.empty() ? "" : m_root + c.unsafePart;
    EXPECT_EQ(FirstUnsafePath(Plugins(), Plugins() + c.file), expected) << c.what;
  }
}

// A folder above the plugin folder that others may write lets them move the whole plugin
// folder away and put their own in its place; root's sticky folders (as /tmp) do not.
TEST_F(TrustedFiles, EveryFolderFromTheRootDownCounts) {
  const struct {
    const char* what;
    std::function<void(const std::string& root)> change;  // root without its "/"
    std::string folder;                                   // below root
    std::string unsafe;  // "" when all are safe; else the path named, "@" standing for root
  } kCases[] = {
      {"a parent others may write", [](const std::string& r) { chmod(r.c_str(), 0777); },
       "plugins/", "@"},
      {"a parent the group may write", [](const std::string& r) { chmod(r.c_str(), 0775); },
       "plugins/", "@"},
      // As root, the test's folder is root's; a user's own sticky folder is no exception.
      {"a parent with the sticky bit", [](const std::string& r) { chmod(r.c_str(), 01777); },
       "plugins/", geteuid() == 0 ? "" : "@"},
      {"a link of the user's to the plugin folder",
       [](const std::string& r) { fs::create_directory_symlink(r + "/plugins", r + "/l"); }, "l/",
       ""},
      {"a link to a plugin folder below a folder others may write",
       [](const std::string& r) {
         fs::create_directories(r + "/open/plugins/sub");
         chmod((r + "/open").c_str(), 0777);
         std::ofstream(r + "/open/plugins/sub/tool.so") << "x";
         fs::create_directory_symlink(r + "/open/plugins", r + "/l");
       },
       "l/", "@l -> @open"},
      {"a link that leads up and out through a folder others may write",
       [](const std::string& r) {
         fs::create_directories(r + "/open/plugins/sub");
         chmod((r + "/open").c_str(), 0777);
         std::ofstream(r + "/open/plugins/sub/tool.so") << "x";
         fs::create_directory_symlink("../open/plugins", r + "/other/l");
       },
       "other/l/", "@other/l -> ../open"},
  };
  for (const auto& c : kCases) {
    TearDown();
    SetUp();
    const std::string top = m_root.substr(0, m_root.size() - 1);
    c.change(top);
    std::string expected = c.unsafe;
    for (size_t at; (at = expected.find('@')) != std::string::npos;) {
      expected.replace(at, 1, at == 0 ? (c.unsafe == "@" ? top : m_root) : m_root);
    }
    const std::string folder = m_root + c.folder;
    EXPECT_EQ(FirstUnsafePath(folder, folder + "sub/tool.so"), expected) << c.what;
    std::string unsafe = "not cleared";
    const int fd = OpenCheckedPath(folder, folder + "sub/tool.so", PathKind::File, unsafe);
    EXPECT_EQ(fd >= 0, expected.empty()) << c.what;
    EXPECT_EQ(unsafe, expected) << c.what;
    if (fd >= 0) close(fd);
  }
  // The sticky bit spares only root's folders: another user's may still move our entries.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand a folder to another user";
  const std::string top = m_root.substr(0, m_root.size() - 1);
  chmod(top.c_str(), 01777);
  ASSERT_EQ(chown(top.c_str(), 65534, 65534), 0);
  EXPECT_EQ(FirstUnsafePath(Plugins(), Plugins() + "a.lvp"), top);
}

// One rule, as the callers ask it: a private folder (no group or other bit, only ours) and a
// file or folder only safe from changes (no group or other write bit, ours or root's).
TEST_F(TrustedFiles, OneOwnershipRuleWithEachCallersBits) {
  const std::string folder = Plugins() + "sub";
  const struct {
    mode_t mode;
    uid_t owner;  // 0 = root, 1 = this user, 65534 = another user
    PathKind kind;
    bool safe, privateToUs;
  } kCases[] = {
      {0700, 1, PathKind::Folder, true, true},   {0750, 1, PathKind::Folder, true, false},
      {0770, 1, PathKind::Folder, false, false}, {0755, 0, PathKind::Folder, true, false},
      {0700, 0, PathKind::Folder, true, false},  {0700, 65534, PathKind::Folder, false, false},
      {0700, 1, PathKind::File, false, false},
  };
  // The user is someone other than root, whatever runs the test.
  constexpr uid_t kUser = 4242;
  const uid_t user = geteuid() == 0 ? kUser : geteuid();
  for (const auto& c : kCases) {
    const uid_t owner = c.owner == 1 ? user : c.owner;
    if (geteuid() != 0 && owner != user) continue;  // handing over needs root
    detail::SetOwnUserIdForTest(user);
    if (geteuid() == 0) {
      ASSERT_EQ(chown(folder.c_str(), owner, owner), 0);
    }
    chmod(folder.c_str(), c.mode);
    struct stat st;
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(OwnedAlone(st, c.kind), c.safe) << std::oct << c.mode << " " << c.owner;
    EXPECT_EQ(OwnedAlone(st, c.kind, 077, false), c.privateToUs)
        << std::oct << c.mode << " " << c.owner;
    detail::SetOwnUserIdForTest(static_cast<uid_t>(-1));
  }
}

TEST_F(TrustedFiles, OnlyTheUserOrRootMayOwnThem) {
  EXPECT_TRUE(SafeFromOtherUsers(Plugins() + "a.lvp", PathKind::File));
  EXPECT_FALSE(SafeFromOtherUsers(Plugins() + "a.lvp", PathKind::Folder));
  EXPECT_TRUE(SafeFromOtherUsers("/usr/bin", PathKind::Folder));  // root's
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand a file to another user";
  ASSERT_EQ(chown((Plugins() + "sub").c_str(), 65534, 65534), 0);
  EXPECT_EQ(FirstUnsafePath(Plugins(), Plugins() + "sub/tool.so"), Plugins() + "sub");
  ASSERT_EQ(chown((Plugins() + "a.lvp").c_str(), 65534, 65534), 0);
  EXPECT_FALSE(SafeFromOtherUsers(Plugins() + "a.lvp", PathKind::File));
}

}  // namespace
}  // namespace tolvek
