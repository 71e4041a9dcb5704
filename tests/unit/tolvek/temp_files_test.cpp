#include "tolvek/temp_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "scoped_env.h"
#include "syslog_capture.h"
#include "tolvek/callstack.h"
#include "tolvek/file_write.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string Uid() {
  return std::to_string(geteuid());
}

// Each test gets its own system temporary folder and a registry that starts over. A memory
// file system, where there is one, keeps the tests that make many files quick.
class TempFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/dev/shm/tolvek-tempfiles-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      pattern = "/tmp/tolvek-tempfiles-XXXXXX";
      ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    }
    m_base = pattern;
    m_tmpdir.emplace("TMPDIR", m_base);
    // The user's runtime folder would take precedence; tests that want it set it.
    m_runtime.emplace("XDG_RUNTIME_DIR", std::nullopt);
    detail::ResetTempFilesForTest();
    detail::ResetFinalizers();
  }
  void TearDown() override {
    detail::ResetTempFilesForTest();
    detail::ResetFinalizers();
    detail::SetOwnUserIdForTest(static_cast<uid_t>(-1));
    m_runtime.reset();
    m_tmpdir.reset();
    std::error_code ec;
    fs::remove_all(m_base, ec);
  }
  std::string Folder(const std::string& suffix) const {
    return m_base + "/tolvek.zubl." + suffix + "-" + Uid();
  }

  std::string m_base;
  std::optional<lumivex_testing::ScopedEnv> m_tmpdir, m_runtime;
};

TEST_F(TempFiles, FolderIsPrivateAndNamedBySuffixOrProcessId) {
  detail::InitPrivateTempDir("");
  std::string byPid = Folder(std::to_string(getpid()));
  EXPECT_EQ(GetTemporaryDirectory4TolvekZubl(), byPid + "/");
  struct stat st;
  ASSERT_EQ(lstat(byPid.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(detail::FinalizerCount(), 1u);

  detail::ResetTempFilesForTest();
  detail::InitPrivateTempDir("lumivex");
  EXPECT_EQ(GetTemporaryDirectory4TolvekZubl(), Folder("lumivex") + "/");
}

TEST_F(TempFiles, AStartRemovesThePrivateFoldersThatNoInstanceHolds) {
  // Left by programs that ended abnormally: their lock files are there, nobody holds them.
  auto make = [](const std::string& folder, bool lockFile) {
    fs::create_directory(folder);
    chmod(folder.c_str(), 0700);
    std::ofstream(folder + "/ZEMTEMP.1.2.dot") << "work file";
    fs::create_directory(folder + "/ZEMTEMP.1.evtweave");
    if (lockFile) std::ofstream(folder + "/tolvek.zubl.lock");
  };
  std::string abandoned = Folder("4242"), abandonedFresh = Folder("lumivex") + ".Ab12Cd";
  std::string held = Folder("4343"), starting = Folder("4444");
  std::string notOurs = m_base + "/tolvek.zubl.4545-" + std::to_string(geteuid() + 1);
  make(abandoned, true);
  make(abandonedFresh, true);
  make(held, true);
  make(starting, false);  // an instance between making its folder and locking it
  make(notOurs, true);
  int holder = open((held + "/tolvek.zubl.lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_SH), 0);

  detail::InitPrivateTempDir("t");
  EXPECT_FALSE(Exists(abandoned));
  EXPECT_FALSE(Exists(abandonedFresh));
  for (const std::string& stays : {held, starting, notOurs}) {
    SCOPED_TRACE(stays);
    EXPECT_TRUE(Exists(stays + "/ZEMTEMP.1.2.dot"));
  }
  EXPECT_TRUE(Exists(Folder("t") + "/tolvek.zubl.lock"));
  close(holder);
}

TEST_F(TempFiles, IdLifeCycleFromHandleToNegativeIdToPath) {
  detail::InitPrivateTempDir("t");
  int64_t handle = CreateTempFile(false, false, "tmp");
  ASSERT_GT(handle, 0);
  std::string path = GetTempFilePath(handle);
  EXPECT_EQ(path.rfind(Folder("t") + "/ZEMTEMP." + std::to_string(getpid()) + ".", 0), 0u);
  EXPECT_EQ(path.substr(path.size() - 4), ".tmp");
  int fd = TempFileDescriptor(handle);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "abc", 3), 3);

  int64_t id = CloseTempFile(handle);
  ASSERT_LT(id, 0);
  EXPECT_EQ(GetTempFilePath(handle), "");
  EXPECT_EQ(TempFileDescriptor(handle), -1);
  EXPECT_EQ(GetTempFilePath(id), path);
  // The number in the name is the id's, without leading zeros.
  std::string n = std::to_string(-id);
  EXPECT_NE(path.find("." + n + ".tmp"), std::string::npos);
  EXPECT_NE(n[0], '0');
  EXPECT_EQ(fs::file_size(path), 3u);

  DeleteTempFile(id);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(GetTempFilePath(id), "");
}

TEST_F(TempFiles, DeleteFlagGivesAFreshPathThatDoesNotExistYet) {
  detail::InitPrivateTempDir("t");
  int64_t id = CreateTempFile(true, true, "dot");
  ASSERT_LT(id, 0);
  std::string path = GetTempFilePath(id);
  EXPECT_FALSE(Exists(path));
  std::ofstream(path) << "written by another program";
  DeleteTempFile(id);
  EXPECT_FALSE(Exists(path));

  int64_t closed = CreateTempFile(true, false, "");
  ASSERT_LT(closed, 0);
  EXPECT_EQ(GetTempFilePath(closed).back(), '.');
  EXPECT_TRUE(Exists(GetTempFilePath(closed)));
}

TEST_F(TempFiles, UnknownIdsAreLeftAlone) {
  detail::InitPrivateTempDir("t");
  int64_t id = CreateTempFile(true, false, "txt");
  std::string path = GetTempFilePath(id);
  int other = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GT(other, 0);
  for (int64_t unknown : {int64_t{0}, int64_t{other}, int64_t{-100000}, int64_t{12345678}}) {
    SCOPED_TRACE(unknown);
    EXPECT_EQ(GetTempFilePath(unknown), "");
    EXPECT_EQ(CloseTempFile(unknown), 0);
    DeleteTempFile(unknown);
  }
  // A closed file's id is no handle: closing it again closes nothing and keeps the file.
  EXPECT_EQ(CloseTempFile(id), 0);
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(GetTempFilePath(id), path);
  // The descriptor we passed was never the registry's to close.
  EXPECT_NE(fcntl(other, F_GETFD), -1);
  close(other);
}

TEST_F(TempFiles, DeletingAnOpenHandleClosesAndRemovesTheFile) {
  detail::InitPrivateTempDir("t");
  int64_t handle = CreateTempFile(false, false, "bin");
  std::string path = GetTempFilePath(handle);
  DeleteTempFile(handle);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(GetTempFilePath(handle), "");
  EXPECT_EQ(fcntl(static_cast<int>(handle), F_GETFD), -1);
}

TEST_F(TempFiles, FirstFileRegistersTheDeletionOnceAndEndDeletesEverything) {
  detail::InitPrivateTempDir("t");
  ASSERT_EQ(detail::FinalizerCount(), 1u);
  int64_t open = CreateTempFile(false, false, "a");
  int64_t closed = CreateTempFile(true, false, "b");
  EXPECT_EQ(detail::FinalizerCount(), 2u);
  std::string openPath = GetTempFilePath(open);
  std::string closedPath = GetTempFilePath(closed);

  testing::SyslogCapture capture;
  DeleteTempFiles();
  EXPECT_FALSE(Exists(openPath));
  EXPECT_FALSE(Exists(closedPath));
  EXPECT_EQ(GetTempFilePath(closed), "");
  EXPECT_TRUE(capture.events().empty());
}

TEST_F(TempFiles, AFileThatCannotBeDeletedAtTheEndIsWarnedAbout) {
  detail::InitPrivateTempDir("t");
  int64_t gone = CreateTempFile(true, true, "x");
  int64_t stuck = CreateTempFile(true, true, "y");
  std::string stuckPath = GetTempFilePath(stuck);
  // Something else put a non-empty folder where the file should be.
  fs::create_directories(stuckPath + "/inside");
  testing::SyslogCapture capture;
  DeleteTempFiles();
  (void)gone;
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].type, kSyslogWarning);
  EXPECT_EQ(capture.events()[0].lines,
            std::vector<std::string>{"Couldn't delete temporary file \"" + stuckPath + "\"!"});
}

TEST_F(TempFiles, NumbersStayUniqueAndRunningOutFailsInsteadOfDrawingForever) {
  detail::InitPrivateTempDir("t");
  std::set<int64_t> ids;
  for (int i = 0; i < 99999; ++i) {
    int64_t id = CreateTempFile(true, true, "");
    ASSERT_LT(id, 0) << i;
    ASSERT_GE(id, -99999);
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 99999u);
  EXPECT_EQ(CreateTempFile(true, true, ""), 0);
  DeleteTempFile(-7);
  EXPECT_EQ(CreateTempFile(true, true, ""), -7);
}

TEST_F(TempFiles, LastInstanceRemovesTheFolderWithEverythingInIt) {
  detail::InitPrivateTempDir("t");
  int64_t id = CreateTempFile(true, false, "txt");
  fs::create_directories(Folder("t") + "/sub/deeper");
  std::ofstream(Folder("t") + "/sub/deeper/file") << "x";
  chmod((Folder("t") + "/sub").c_str(), 0500);
  chmod(GetTempFilePath(id).c_str(), 0400);
  testing::SyslogCapture capture;
  CleanUpTemporaryDirectory4TolvekZubl();
  EXPECT_FALSE(Exists(Folder("t")));
  EXPECT_TRUE(capture.events().empty());
}

TEST_F(TempFiles, ASecondHolderKeepsTheSharedFolder) {
  detail::InitPrivateTempDir("shared");
  int64_t mine = CreateTempFile(true, false, "mine");
  std::string minePath = GetTempFilePath(mine);

  // The other instance: a child process that takes the folder and holds it until told.
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(toParent[0]);
    close(toChild[1]);
    detail::ResetTempFilesForTest();
    detail::InitPrivateTempDir("shared");
    std::string path = GetTempFilePath(CreateTempFile(true, false, "theirs"));
    (void)!write(toParent[1], path.data(), path.size());
    close(toParent[1]);
    char c;
    (void)!read(toChild[0], &c, 1);
    CleanUpTemporaryDirectory4TolvekZubl();
    _exit(0);
  }
  close(toParent[1]);
  close(toChild[0]);
  std::string theirs;
  char buf[4096];
  for (ssize_t n; (n = read(toParent[0], buf, sizeof buf)) > 0;) theirs.append(buf, n);
  close(toParent[0]);
  ASSERT_FALSE(theirs.empty());

  CleanUpTemporaryDirectory4TolvekZubl();
  EXPECT_TRUE(Exists(Folder("shared")));
  EXPECT_TRUE(Exists(theirs));
  EXPECT_FALSE(Exists(minePath));

  close(toChild[1]);  // the other instance ends and is now the last one
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(Exists(Folder("shared")));
}

TEST_F(TempFiles, AFolderLeftByAnEarlierRunIsUsedAgain) {
  ASSERT_EQ(mkdir(Folder("again").c_str(), 0700), 0);
  std::ofstream(Folder("again") + "/left.over") << "x";
  detail::InitPrivateTempDir("again");
  EXPECT_EQ(GetTemporaryDirectory4TolvekZubl(), Folder("again") + "/");
  EXPECT_LT(CreateTempFile(true, false, "txt"), 0);
}

TEST_F(TempFiles, EndProgramRemovesTheFolderAndFatalReportLeavesIt) {
  std::string ended = Folder("ended");
  EXPECT_EXIT(
      {
        detail::InitPrivateTempDir("ended");
        CreateTempFile(true, false, "txt");
        EndProgram(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(Exists(ended));

  std::string crashed = Folder("crashed");
  EXPECT_EXIT(
      {
        SetSyslogSink(&testing::SyslogToStderr);
        detail::InitPrivateTempDir("crashed");
        CreateTempFile(true, false, "txt");
        ReportError("boom", true);
      },
      ::testing::ExitedWithCode(1), "boom");
  ASSERT_TRUE(Exists(crashed));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(crashed)) {
    files += entry.path().filename().string().rfind("ZEMTEMP.", 0) == 0;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(TempFiles, ANameTakenByAnythingButOurPrivateFolderGetsAFreshFolderBesideIt) {
  std::string elsewhere = m_base + "/elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    uid_t ownUser;  // whose files count as ours; -1 for the real user
  };
  const uid_t real = static_cast<uid_t>(-1);
  const Case cases[] = {
      {"group and others may enter", [](const std::string& p) { mkdir(p.c_str(), 0755); }, real},
      {"others may write",
       [](const std::string& p) {
         mkdir(p.c_str(), 0700);
         chmod(p.c_str(), 0702);
       },
       real},
      {"a link to a private folder",
       [&](const std::string& p) { ASSERT_EQ(symlink(elsewhere.c_str(), p.c_str()), 0); }, real},
      {"a plain file", [](const std::string& p) { std::ofstream(p) << "x"; }, real},
      // The folder the test made counts as another user's once we are someone else.
      {"another user's folder", [](const std::string& p) { mkdir(p.c_str(), 0700); },
       geteuid() + 1},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string suffix = "taken" + std::to_string(n++);
    std::string squatted = Folder(suffix);
    c.make(squatted);
    struct stat before;
    ASSERT_EQ(lstat(squatted.c_str(), &before), 0);
    detail::ResetTempFilesForTest();
    detail::ResetFinalizers();
    detail::SetOwnUserIdForTest(c.ownUser);
    detail::InitPrivateTempDir(suffix);
    detail::SetOwnUserIdForTest(real);

    std::string dir = GetTemporaryDirectory4TolvekZubl();
    ASSERT_EQ(dir.rfind(squatted + ".", 0), 0u) << dir;
    EXPECT_EQ(dir.size(), squatted.size() + 8);  // "." + six random characters + "/"
    struct stat st;
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::string file = GetTempFilePath(CreateTempFile(true, false, "txt"));
    EXPECT_EQ(file.rfind(dir, 0), 0u);
    // The squatted name is left as it was, and is removed by nobody but its owner.
    CleanUpTemporaryDirectory4TolvekZubl();
    struct stat after;
    ASSERT_EQ(lstat(squatted.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_FALSE(Exists(dir));
  }
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(TempFiles, TheUsersRuntimeFolderIsUsedOnlyWhenItIsTheirsAndPrivate) {
  std::string runtime = m_base + "/runtime";
  struct Case {
    const char* what;
    std::function<std::string()> make;  // the value of XDG_RUNTIME_DIR
    uid_t ownUser;
    bool used;
  };
  const uid_t real = static_cast<uid_t>(-1);
  auto privateFolder = [&] {
    fs::remove_all(runtime);
    mkdir(runtime.c_str(), 0700);
    return runtime;
  };
  const Case cases[] = {
      {"a private folder of ours", privateFolder, real, true},
      {"the same with a trailing slash", [&] { return privateFolder() + "/"; }, real, true},
      {"a relative path",
       [&] {
         privateFolder();
         return fs::relative(runtime).string();
       },
       real, false},
      {"others may enter",
       [&] {
         privateFolder();
         chmod(runtime.c_str(), 0755);
         return runtime;
       },
       real, false},
      {"another user's", privateFolder, geteuid() + 1, false},
      {"a link to a private folder",
       [&] {
         privateFolder();
         std::string link = m_base + "/runtime-link";
         fs::remove(link);
         symlink(runtime.c_str(), link.c_str());
         return link;
       },
       real, false},
      {"missing",
       [&] {
         fs::remove_all(runtime);
         return runtime;
       },
       real, false},
      {"empty", [] { return std::string(); }, real, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string suffix = "rt" + std::to_string(n++);
    lumivex_testing::ScopedEnv env("XDG_RUNTIME_DIR", c.make());
    detail::ResetTempFilesForTest();
    detail::ResetFinalizers();
    detail::SetOwnUserIdForTest(c.ownUser);
    detail::InitPrivateTempDir(suffix);
    detail::SetOwnUserIdForTest(real);
    std::string name = "/tolvek.zubl." + suffix + "-" + Uid();
    std::string dir = GetTemporaryDirectory4TolvekZubl();
    if (c.used) {
      EXPECT_EQ(dir, runtime + name + "/");
    } else {
      // (As someone else, the system folder's one counts as taken too.)
      EXPECT_EQ(dir.rfind(m_base + name, 0), 0u) << dir;
    }
    CleanUpTemporaryDirectory4TolvekZubl();
  }
}

TEST_F(TempFiles, AFolderThatCannotBeMadeEndsTheProgramWithTheReportOnStandardError) {
  // No event-log sink redirected here: the report must reach the terminal by itself.
  lumivex_testing::ScopedEnv tmpdir("TMPDIR", m_base + "/missing/deeper");
  EXPECT_EXIT(detail::InitPrivateTempDir("nowhere"), ::testing::ExitedWithCode(1),
              "Could not create temporary directory 'tolvek.zubl'!");
}

TEST_F(TempFiles, ALockFileReplacedBeforeWeLockItIsLockedAgainAtItsPath) {
  // As if the last other instance removed the folder between our open and our lock.
  std::string folder = Folder("raced");
  int rounds = 0;
  detail::SetBeforeLockHookForTest([&] {
    if (rounds++ > 0) return;
    fs::remove(folder + "/tolvek.zubl.lock");
    fs::remove(folder);
  });
  detail::InitPrivateTempDir("raced");
  EXPECT_EQ(rounds, 2);
  ASSERT_TRUE(Exists(folder + "/tolvek.zubl.lock"));
  // Our shared lock is on the file at the path, so nobody can take it whole.
  int fd = open((folder + "/tolvek.zubl.lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

}  // namespace
}  // namespace tolvek
