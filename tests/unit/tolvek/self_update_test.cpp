#include "tolvek/self_update.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>
#include <thread>

#include "scoped_env.h"

extern char** environ;

namespace tolvek {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Runs a program with extra environment entries and returns its exit code.
int RunWithEnv(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  // An entry given here replaces the inherited one: a TMPDIR of the caller's must not win.
  std::vector<std::string> envText = env;
  for (char** e = environ; *e; ++e) {
    std::string_view entry = *e;
    auto same = [&](const std::string& extra) {
      size_t eq = extra.find('=');
      return entry.substr(0, eq + 1) == std::string_view(extra).substr(0, eq + 1);
    };
    if (std::none_of(env.begin(), env.end(), same)) envText.emplace_back(entry);
  }
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitForFile(const fs::path& p, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (fs::exists(p) && fs::file_size(p) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class SelfUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/selfupdate-XXXXXX";
    m_dir = mkdtemp(pattern);
    m_updateDir = m_dir / ("tolvek.update-" + std::to_string(getuid()));
    fs::create_directory(m_updateDir);
    chmod(m_updateDir.c_str(), 0700);
  }
  void TearDown() override {
    detail::SelfUpdateHooksForTest() = {};
    // A program an update copy started runs on its own and may still be cleaning up its
    // private folder here; give it the time it takes.
    std::error_code ec;
    for (int attempt = 0; attempt < 500 && (fs::remove_all(m_dir, ec), ec); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(ec) << ec.message();
  }
  std::string TmpEnv() const { return "TMPDIR=" + m_dir.string(); }
  fs::path m_dir;
  fs::path m_updateDir;
};

TEST_F(SelfUpdate, NormalStartChangesNothing) {
  fs::path program = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, program);
  fs::path marker = m_dir / "marker";
  EXPECT_EQ(RunWithEnv({program}, {TmpEnv(), "PROBE_MARKER=" + marker.string()}), 0);
  EXPECT_EQ(Slurp(marker), "started:");
  EXPECT_TRUE(fs::is_empty(m_updateDir));
}

TEST_F(SelfUpdate, FreshlyUpdatedProgramWaitsASecondAndGoesOn) {
  fs::path program = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, program);
  Write(m_updateDir / "app_updater", "leftover stays while the update copy may still run");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunWithEnv({program}, {TmpEnv(), "PATCH_COMPLETED=" + program.string()}), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_TRUE(fs::exists(m_updateDir / "app_updater"));
}

TEST_F(SelfUpdate, UpdateCopyInstallsItselfAndStartsTheUpdatedProgram) {
  fs::path source = m_updateDir / "app_updater";
  fs::path destination = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, source);
  Write(destination, "old build");
  Write(m_updateDir / "app_updater.dat", source.string() + "\r\n" + destination.string() + "\r\n");
  chmod((m_updateDir / "app_updater.dat").c_str(), 0600);
  fs::path marker = m_dir / "marker";
  // One of ours that is not closed on exec: the updated program starts without it.
  const int ours = open("/dev/null", O_RDONLY);
  ASSERT_GT(ours, 2);
  EXPECT_EQ(RunWithEnv({source}, {TmpEnv(), "PROBE_MARKER=" + marker.string(),
                                  "PROBE_FD=" + std::to_string(ours)}),
            0);
  close(ours);
  ASSERT_TRUE(WaitForFile(marker, 10000));
  EXPECT_EQ(Slurp(marker), "started:" + destination.string());
  EXPECT_EQ(Slurp(destination), Slurp(SELF_UPDATE_PROBE_PATH));
  EXPECT_TRUE(fs::status(destination).permissions() != fs::perms::none);
  EXPECT_FALSE(fs::exists(source));
  EXPECT_FALSE(fs::exists(m_updateDir / "app_updater.dat"));
}

TEST_F(SelfUpdate, AFailedInstallKeepsTheNewBuild) {
  // The destination's folder does not exist, so neither the copy nor the copy program (absent
  // beside this update copy) can succeed.
  fs::path source = m_updateDir / "app_updater";
  fs::path destination = m_dir / "missing" / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, source);
  Write(m_updateDir / "app_updater.dat", source.string() + "\n" + destination.string() + "\n");
  chmod((m_updateDir / "app_updater.dat").c_str(), 0600);
  EXPECT_EQ(RunWithEnv({source}, {TmpEnv()}), 0);
  EXPECT_TRUE(fs::exists(source));
  EXPECT_FALSE(fs::exists(m_updateDir / "app_updater.dat"));
  EXPECT_FALSE(fs::exists(destination));
}

TEST_F(SelfUpdate, InstructionsOthersCanWriteAreIgnored) {
  fs::path source = m_updateDir / "app_updater";
  fs::path destination = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, source);
  Write(destination, "old build");
  Write(m_updateDir / "app_updater.dat", source.string() + "\n" + destination.string() + "\n");
  chmod((m_updateDir / "app_updater.dat").c_str(), 0666);
  fs::path marker = m_dir / "marker";
  EXPECT_EQ(RunWithEnv({source}, {TmpEnv(), "PROBE_MARKER=" + marker.string()}), 0);
  EXPECT_EQ(Slurp(marker), "started:");  // ran as itself, installed nothing
  EXPECT_EQ(Slurp(destination), "old build");
}

TEST_F(SelfUpdate, AnUpdateFolderBelowAFolderOthersMayWriteIsNotUsed) {
  const fs::path open = m_dir / "open";
  const fs::path updateDir = open / m_updateDir.filename();
  fs::create_directories(updateDir);
  chmod(updateDir.c_str(), 0700);
  chmod(open.c_str(), 0777);
  fs::path source = updateDir / "app_updater";
  fs::path destination = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, source);
  Write(destination, "old build");
  Write(updateDir / "app_updater.dat", source.string() + "\n" + destination.string() + "\n");
  chmod((updateDir / "app_updater.dat").c_str(), 0600);
  fs::path marker = m_dir / "marker";
  EXPECT_EQ(RunWithEnv({source}, {"TMPDIR=" + open.string(), "PROBE_MARKER=" + marker.string()}),
            0);
  EXPECT_EQ(Slurp(marker), "started:");  // ran as itself, installed nothing
  EXPECT_EQ(Slurp(destination), "old build");
  EXPECT_TRUE(fs::exists(updateDir / "app_updater.dat"));
}

TEST_F(SelfUpdate, LockedLeftoverIsTriedSixTimesThenLeft) {
  // This test binary's own leftover copy.
  fs::path leftover = m_updateDir / "tolvek_tests_updater";
  Write(leftover, "x");
  int attempts = 0;
  std::vector<int> pauses;
  auto& hooks = detail::SelfUpdateHooksForTest();
  hooks.removeFile = [&](const std::string& p) {
    EXPECT_EQ(p, leftover.string());
    ++attempts;
    return false;
  };
  hooks.sleep = [&](int ms) { pauses.push_back(ms); };
  {
    lumivex_testing::ScopedEnv tmpdir("TMPDIR", m_dir.string());
    PatchCompletion();
  }
  EXPECT_EQ(attempts, 6);
  EXPECT_EQ(pauses, std::vector<int>(6, 500));
  EXPECT_TRUE(fs::exists(leftover));
}

TEST_F(SelfUpdate, CopyHelperExitCodes) {
  fs::path source = m_dir / "new";
  fs::path destination = m_dir / "installed";
  Write(source, "new build");
  Write(destination, "old build");
  EXPECT_EQ(RunWithEnv({COPYHELPER_PATH, source, destination}), 0);
  EXPECT_EQ(Slurp(destination), "new build");
  EXPECT_EQ(RunWithEnv({COPYHELPER_PATH, (m_dir / "missing").string(), destination}), 1);
  EXPECT_EQ(Slurp(destination), "new build");
  EXPECT_EQ(RunWithEnv({COPYHELPER_PATH}), 1);
}

// An update copy told to install source: the new build comes from somewhere other than the
// update copy itself, so its properties can be chosen. Returns the event-log text.
std::string InstallFrom(const fs::path& updateDir, const fs::path& dir, const fs::path& source,
                        const fs::path& destination, const std::string& tmpEnv) {
  fs::path copy = updateDir / "app_updater";
  if (!fs::exists(copy)) fs::copy_file(SELF_UPDATE_PROBE_PATH, copy);
  Write(updateDir / "app_updater.dat", source.string() + "\n" + destination.string() + "\n");
  chmod((updateDir / "app_updater.dat").c_str(), 0600);
  fs::path events = dir / "events";
  fs::remove(events);
  EXPECT_EQ(RunWithEnv({copy}, {tmpEnv, "PROBE_EVENTS=" + events.string()}), 0);
  EXPECT_FALSE(fs::exists(updateDir / "app_updater.dat"));
  return Slurp(events);
}

TEST_F(SelfUpdate, ABuildOthersCouldHaveChangedIsNotInstalled) {
  struct Case {
    const char* what;
    std::function<fs::path(const fs::path& build)> make;  // the source path to name
  };
  const Case cases[] = {
      {"group may write",
       [](const fs::path& b) {
         chmod(b.c_str(), 0775);
         return b;
       }},
      {"others may write",
       [](const fs::path& b) {
         chmod(b.c_str(), 0757);
         return b;
       }},
      {"a link to a sound build",
       [this](const fs::path& b) {
         fs::path link = m_dir / "link";
         fs::create_symlink(b, link);
         return link;
       }},
      {"a folder",
       [this](const fs::path&) {
         fs::create_directory(m_dir / "folder");
         return m_dir / "folder";
       }},
      // Whoever may write a folder above may swap the folders below it.
      {"below a folder others may write",
       [this](const fs::path& b) {
         fs::create_directories(m_dir / "open" / "inner");
         chmod((m_dir / "open").c_str(), 0777);
         fs::copy_file(b, m_dir / "open" / "inner" / "new_build");
         return m_dir / "open" / "inner" / "new_build";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path build = m_dir / "new_build";
    fs::path destination = m_dir / "app";
    fs::remove_all(m_dir / "link");
    fs::remove_all(m_dir / "folder");
    fs::remove_all(m_dir / "open");
    fs::remove(build);
    fs::copy_file(SELF_UPDATE_PROBE_PATH, build);
    chmod(build.c_str(), 0755);
    Write(destination, "old build");
    fs::path source = c.make(build);
    std::string events = InstallFrom(m_updateDir, m_dir, source, destination, TmpEnv());
    EXPECT_EQ(Slurp(destination), "old build");
    EXPECT_TRUE(fs::exists(fs::symlink_status(source)));  // not ours to delete
    EXPECT_NE(events.find("Refused the update \"" + source.string() + "\""), std::string::npos)
        << events;
  }
}

TEST_F(SelfUpdate, ABuildOfAnotherUserIsNotInstalled) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the build to another user";
  fs::path build = m_dir / "new_build";
  fs::path destination = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, build);
  ASSERT_EQ(chown(build.c_str(), 65534, 65534), 0);
  Write(destination, "old build");
  std::string events = InstallFrom(m_updateDir, m_dir, build, destination, TmpEnv());
  EXPECT_EQ(Slurp(destination), "old build");
  EXPECT_NE(events.find("Refused the update"), std::string::npos) << events;
}

TEST_F(SelfUpdate, TheInstalledCopyNeverCarriesSetuidOrSetgid) {
  fs::path build = m_dir / "new_build";
  fs::path destination = m_dir / "app";
  fs::copy_file(SELF_UPDATE_PROBE_PATH, build);
  ASSERT_EQ(chmod(build.c_str(), 06755), 0);
  Write(destination, "old build");
  InstallFrom(m_updateDir, m_dir, build, destination, TmpEnv());
  EXPECT_EQ(Slurp(destination), Slurp(SELF_UPDATE_PROBE_PATH));
  struct stat st;
  ASSERT_EQ(stat(destination.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(SelfUpdate, CopyHelperRefusesLinksAndWhatIsNotAPlainFileAtOnce) {
  fs::path build = m_dir / "new";
  Write(build, "new build");
  fs::path link = m_dir / "link";
  fs::create_symlink(build, link);
  fs::path fifo = m_dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::path destination = m_dir / "installed";
  std::vector<int> pauses;
  detail::SelfUpdateHooksForTest().sleep = [&](int ms) { pauses.push_back(ms); };
  for (const fs::path& source : {link, fifo, m_dir}) {
    SCOPED_TRACE(source);
    Write(destination, "old build");
    EXPECT_EQ(RunWithEnv({COPYHELPER_PATH, source, destination}), 1);
    EXPECT_EQ(CopyHelperRun(source, destination), 1);
    EXPECT_EQ(Slurp(destination), "old build");
  }
  // Retrying would not change what the source is.
  EXPECT_TRUE(pauses.empty());
}

}  // namespace
}  // namespace tolvek
