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
