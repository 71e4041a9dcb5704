#include "tolvek/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "process_state.h"
#include "scoped_env.h"
#include "tolvek/memory.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The block's bytes, or nullopt for no block; frees the block.
std::optional<std::string> Take(void* block) {
  if (!block) return std::nullopt;
  std::string bytes(static_cast<const char*>(block), static_cast<size_t>(MemorySize(block)));
  FreeMemory(block);
  return bytes;
}

// The error part as it follows the standard output: UTF-16LE and a terminating zero unit.
std::string ErrorPart(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  out.append(2, '\0');
  return out;
}

std::optional<std::string> RunShell(const std::string& script, bool withErrors,
                                    const std::string& dir = "") {
  return Take(RunProgramAndOutput2Memory("/bin/sh", {"-c", script}, dir, withErrors));
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tolvek-process-XXXXXX";
    if (mkdtemp(pattern)) m_path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

TEST(Process, ProcessIdIsOurs) {
  EXPECT_EQ(GetProcessId(), getpid());
}

TEST(Process, OutputBlockAndErrorPartLayout) {
  struct Case {
    const char* what;
    std::string script;
    bool withErrors;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"nothing at all", ":", true, std::nullopt},
      {"nothing, errors not asked for", ":", false, std::nullopt},
      {"standard output only", "printf 'out\\n'", true, "out\n"},
      {"bytes pass unchanged", "printf 'a\\000b\\001\\r\\n\\377'", false,
       std::string("a\0b\1\r\n\xff", 7)},
      {"error lines without output", "printf 'a\\nb\\n' >&2", true, ErrorPart("\1a\nb\n\n")},
      {"last error line without LF", "printf 'a\\nb' >&2", true, ErrorPart("\1a\nb\n\n")},
      {"CR LF error lines, reading stops at the first empty line",
       "printf 'out'; printf 'a\\r\\nb\\r\\n\\r\\nlater\\n' >&2", true,
       "out" + ErrorPart("\1a\nb\n\n")},
      {"first error line empty counts as none", "printf 'out'; printf '\\nlater\\n' >&2", true,
       "out"},
      {"errors not asked for", "printf 'out'; printf 'err\\n' >&2", false, "out"},
      {"errors only, not asked for", "printf 'err\\n' >&2", false, std::nullopt},
      {"UTF-8 error text becomes UTF-16", "printf '\\303\\251\\n' >&2", true,
       ErrorPart("\1\xe9\n\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunShell(c.script, c.withErrors), c.expected);
  }
}

TEST(Process, LargeOutputOnBothPipesArrivesComplete) {
  // The error pipe is filled first: draining only standard output would wait forever.
  const char* script =
      "head -c 300000 /dev/zero | tr '\\0' e >&2; i=0; while [ $i -lt 30000 ]; do "
      "echo \"line $i\"; i=$((i+1)); done; printf 'tail' >&2";
  std::string expectedOut;
  for (int i = 0; i < 30000; ++i) expectedOut += "line " + std::to_string(i) + "\n";
  std::string expectedErr = std::string(300000, 'e') + "tail";

  Program program;
  ASSERT_TRUE(StartProgram("/bin/sh", {"-c", script}, "", program));
  std::optional<std::string> out = Take(ReadProgramStream(program));
  EXPECT_EQ(CloseProgram(program), 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->size(), expectedOut.size());
  EXPECT_TRUE(*out == expectedOut);
  EXPECT_EQ(program.errors.size(), expectedErr.size());
  EXPECT_TRUE(program.errors == expectedErr);

  std::optional<std::string> run = RunShell(script, true);
  ASSERT_TRUE(run);
  EXPECT_TRUE(*run == expectedOut + ErrorPart("\1" + expectedErr + "\n\n"));
}

TEST(Process, ProgramsThatCannotStartGiveNothing) {
  TempDir dir;
  std::string notExecutable = dir.path() + "/plain.txt";
  std::ofstream(notExecutable) << "echo hi\n";
  struct Case {
    const char* what;
    std::string file;
    std::string directory;
  };
  const Case cases[] = {
      {"missing path", "/nonexistent/program", ""},
      {"name not on the search path", "tolvek-no-such-program", ""},
      {"empty name", "", ""},
      {"file that is no program", notExecutable, ""},
      {"missing working folder", "/bin/sh", dir.path() + "/missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunProgramAndOutput2Memory(c.file, {"-c", "echo hi"}, c.directory, true), nullptr);
    Program program;
    EXPECT_FALSE(StartProgram(c.file, {"-c", "echo hi"}, c.directory, program));
    EXPECT_EQ(ReadProgramStream(program), nullptr);
    EXPECT_EQ(CloseProgram(program), -1);
  }
}

TEST(Process, ArgumentsStayWholeAndNoShellReadsThem) {
  std::vector<std::string> args = {"-c",
                                   "for a; do printf '[%s]\\n' \"$a\"; done",
                                   "sh",
                                   "a b",
                                   "\"quoted\" word",
                                   "it's",
                                   "",
                                   "$HOME",
                                   "*",
                                   "; ls",
                                   "-o/tmp/x y.dot"};
  EXPECT_EQ(Take(RunProgramAndOutput2Memory("/bin/sh", args, "", false)),
            "[a b]\n[\"quoted\" word]\n[it's]\n[]\n[$HOME]\n[*]\n[; ls]\n[-o/tmp/x y.dot]\n");
}

TEST(Process, WorkingFolderInputAndExitCode) {
  TempDir dir;
  std::string real = fs::canonical(dir.path());
  // Standard input is empty, so a program that reads it ends instead of waiting.
  EXPECT_EQ(RunShell("pwd; cat", false, dir.path()), real + "\n");
  // A bare name is found on the search path.
  EXPECT_EQ(Take(RunProgramAndOutput2Memory("sh", {"-c", "echo found"}, "", false)), "found\n");

  Program program;
  ASSERT_TRUE(StartProgram("/bin/sh", {"-c", "echo x; exit 3"}, "", program));
  EXPECT_EQ(Take(ReadProgramStream(program)), "x\n");
  EXPECT_EQ(CloseProgram(program), 3);
}

// What the caller checked runs, whatever its name leads to by then; a script, whose
// interpreter opens it by name, runs from its name.
TEST(Process, AProgramStartsFromTheDescriptorItWasCheckedThrough) {
  TempDir dir;
  const std::string script = dir.path() + "/tool";
  std::ofstream(script) << "#!/bin/sh\necho script\n";
  chmod(script.c_str(), 0755);
  ProgramOptions options;
  options.executableFd = open("/bin/echo", O_PATH | O_CLOEXEC);
  ASSERT_GE(options.executableFd, 0);
  Program program;
  ASSERT_TRUE(StartProgram(dir.path() + "/gone", {"checked"}, "", program, options));
  EXPECT_EQ(Take(ReadProgramStream(program)), "checked\n");
  EXPECT_EQ(CloseProgram(program), 0);
  close(options.executableFd);
  options.executableFd = open(script.c_str(), O_PATH | O_CLOEXEC);
  ASSERT_TRUE(StartProgram(script, {}, "", program, options));
  EXPECT_EQ(Take(ReadProgramStream(program)), "script\n");
  EXPECT_EQ(CloseProgram(program), 0);
  close(options.executableFd);
}

TEST(Process, WaitingWithALimitEnvironmentAndKilling) {
  Program program;
  ProgramOptions options;
  options.environment = {"TOLVEK_PROBE=a b", "HOME=/elsewhere"};
  ASSERT_TRUE(StartProgram("/bin/sh", {"-c", "printf '%s|%s' \"$TOLVEK_PROBE\" \"$HOME\""}, "",
                           program, options));
  EXPECT_TRUE(WaitProgram(program, 5000));
  EXPECT_EQ(Take(ReadProgramStream(program)), "a b|/elsewhere");
  EXPECT_EQ(CloseProgram(program), 0);

  options.redirect = false;
  ASSERT_TRUE(StartProgram("/bin/sh", {"-c", "echo hidden; sleep 10"}, "", program, options));
  EXPECT_FALSE(WaitProgram(program, 100));
  KillProgram(program);
  EXPECT_TRUE(WaitProgram(program, -1));
  EXPECT_EQ(CloseProgram(program), -1);
  // Ended by the kill, not by the end of its sleep.
  EXPECT_TRUE(WIFSIGNALED(program.waitStatus) && WTERMSIG(program.waitStatus) == SIGKILL);
}

TEST(Process, ABackgroundChildHoldingThePipesDoesNotHoldUsUp) {
  // The child keeps the pipes until the test lets it go (or ten seconds pass): had the run
  // waited for the pipes to close, the child would have ended first.
  TempDir dir;
  const std::string release = dir.path() + "/release", gone = dir.path() + "/gone";
  EXPECT_EQ(RunShell("(i=0; while [ ! -e '" + release +
                         "' ] && [ $i -lt 200 ]; do sleep 0.05; "
                         "i=$((i+1)); done; : > '" +
                         gone + "') & echo hi",
                     true),
            "hi\n");
  EXPECT_FALSE(fs::exists(gone));
  std::ofstream(release).put('x');
}

// Children of ours that have ended and were never reaped.
int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // A process that ends while its file is read makes the read fail: it is no zombie of ours.
    std::string stat;
    try {
      std::ifstream in(entry.path() / "stat");
      stat.assign(std::istreambuf_iterator<char>(in), {});
    } catch (const std::exception&) {
      continue;
    }
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    long ppid = 0;
    rest >> state >> ppid;
    zombies += state == 'Z' && ppid == getpid();
  }
  return zombies;
}

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit) {
  Clock::time_point end = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A shell that starts a background child and waits for it; the child's pid, once written.
pid_t StartWithChild(const TempDir& dir, Program& program) {
  const std::string pidFile = dir.path() + "/child.pid";
  unlink(pidFile.c_str());
  EXPECT_TRUE(StartProgram("/bin/sh",
                           {"-c", "sleep 60 & echo $! > '" + pidFile + ".part'; mv '" + pidFile +
                                      ".part' '" + pidFile + "'; wait"},
                           "", program));
  EXPECT_TRUE(WaitFor([&] { return fs::exists(pidFile); }, std::chrono::seconds(10)));
  std::ifstream in(pidFile);
  pid_t child = 0;
  in >> child;
  return child;
}

TEST(Process, EveryWayOfLettingAProgramGoEndsWhatItStartedAndLeavesNoZombie) {
  TempDir dir;
  struct Case {
    const char* what;
    void (*letGo)(Program& program);
  };
  const Case cases[] = {
      {"killed and closed, as Cancel does",
       [](Program& program) {
         KillProgram(program);
         EXPECT_EQ(CloseProgram(program), -1);
         EXPECT_TRUE(WIFSIGNALED(program.waitStatus));
       }},
      {"its owner goes", [](Program& program) { Program gone(std::move(program)); }},
      {"another takes its owner's place",
       [](Program& program) {
         Program other;
         ASSERT_TRUE(StartProgram("/bin/sh", {"-c", "exit 4"}, "", other));
         program = std::move(other);
         EXPECT_EQ(other.pid, -1);
         EXPECT_EQ(CloseProgram(program), 4);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Program program;
    pid_t child = StartWithChild(dir, program);
    ASSERT_GT(child, 0);
    const pid_t shell = program.pid;
    c.letGo(program);
    EXPECT_EQ(program.pid, -1);
    EXPECT_EQ(lumivex_testing::ProcessState(shell), 0) << "the shell is collected at once";
    EXPECT_TRUE(
        WaitFor([&] { return lumivex_testing::ProcessEnded(child); }, std::chrono::seconds(10)))
        << "its background child runs on";
  }
  EXPECT_EQ(ZombieChildren(), 0);
}

TEST(Process, AProgramStartsCleanInItsOwnGroupWithItsLimitInForce) {
  // Ours: a descriptor a library opened without close-on-exec.
  int inherited = open("/dev/null", O_RDONLY);
  ASSERT_GT(inherited, 2);

  ProgramOptions options;
  options.addressSpaceLimit = int64_t{3} << 30;
  Program program;
  // The limit is read by the program's first command: it is there from the start.
  ASSERT_TRUE(StartProgram("/bin/sh",
                           {"-c",
                            "ulimit -v; ulimit -H -v; ls /proc/self/fd | tr '\\n' ' '; echo; "
                            "echo $$ $(cut -d' ' -f5 /proc/self/stat)"},
                           "", program, options));
  std::optional<std::string> out = Take(ReadProgramStream(program));
  const pid_t pid = program.pid;
  EXPECT_EQ(CloseProgram(program), 0) << program.errors;

  close(inherited);
  // cut's own group is its shell's, which is the program's.
  const std::string expected =
      "3145728\n3145728\n0 1 2 3 \n" + std::to_string(pid) + " " + std::to_string(pid) + "\n";
  EXPECT_EQ(out, expected);
}

// Whatever the starting thread blocks and the process ignores, the program starts with
// nothing blocked or ignored, and without our terminal. It reads that itself: the shell
// clears the mask of what it starts and would hide one passed on.
TEST(Process, EveryWayOfStartingAProgramStartsItWithCleanSignals) {
  TempDir dir;
  const std::string record = dir.path() + "/record";
  lumivex_testing::ScopedEnv recordTo("START_RECORD", record);
  fs::create_symlink(START_RECORD_PATH, dir.path() + "/xdg-open");
  struct Case {
    const char* way;
    void (*start)(const std::string& folder);
  };
  const Case cases[] = {
      {"StartProgram",
       [](const std::string&) {
         Program program;
         ASSERT_TRUE(StartProgram(START_RECORD_PATH, {"an argument"}, "", program));
         EXPECT_EQ(CloseProgram(program), 0);
       }},
      {"OpenUrl",
       [](const std::string& folder) {
         lumivex_testing::ScopedEnv path("PATH", folder);
         OpenUrl("an argument", 1);
       }},
  };
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  sigset_t usr1, mask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &mask);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    fs::remove(record);
    c.start(dir.path());
    if (!WaitFor([&] { return fs::exists(record); }, std::chrono::seconds(10))) {
      ADD_FAILURE() << "the program left no record";
      continue;
    }
    std::ifstream in(record);
    std::string lines((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(lines.substr(0, lines.find("fds")),
              "arg an argument\nSigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n"
              "stdin /dev/null\n");
  }
  sigaction(SIGPIPE, &previous, nullptr);
  pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; }, std::chrono::seconds(10)));
}

TEST(Process, AHelperEndsWithTheThreadThatStartedIt) {
  Program program;
  std::thread([&] { ASSERT_TRUE(StartProgram("/bin/sleep", {"600"}, "", program)); }).join();
  ASSERT_GT(program.pid, 0);
  EXPECT_TRUE(WaitProgram(program, 60000)) << "it outlives the thread";
  KillProgram(program);
  CloseProgram(program);
  EXPECT_TRUE(WIFSIGNALED(program.waitStatus) && WTERMSIG(program.waitStatus) == SIGKILL);
}

TEST(Process, AReaperCollectsWhatEndsAndLeavesTheRestRunning) {
  pid_t running = -1;
  {
    ProgramReaper reaper;
    Program quick, slow, late;
    ProgramOptions options;
    options.endWithParent = false;
    ASSERT_TRUE(StartProgram("/bin/true", {}, "", quick, options));
    ASSERT_TRUE(StartProgram("/bin/sleep", {"60"}, "", slow, options));
    ASSERT_TRUE(StartProgram("/bin/sleep", {"60"}, "", late, options));
    running = slow.pid;
    const pid_t ending = late.pid;
    reaper.Adopt(quick);
    reaper.Adopt(slow);
    reaper.Adopt(late);
    EXPECT_EQ(quick.pid, -1);
    EXPECT_EQ(slow.outFd, -1);
    EXPECT_TRUE(WaitFor([&] { return reaper.Reap() == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(ZombieChildren(), 0);
    // The reaper still owns the running ones: one that ends later is collected too.
    kill(ending, SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return reaper.Reap() == 1; }, std::chrono::seconds(10)));
    EXPECT_EQ(ZombieChildren(), 0);
  }
  // Neither the adopted program's former owner nor the reaper ended it.
  EXPECT_EQ(kill(running, 0), 0);
  kill(running, SIGKILL);
  int status;
  EXPECT_EQ(waitpid(running, &status, 0), running);
}

TEST(Process, OpenUrlHandsTheWholeAddressOverAndReturnsAtOnce) {
  TempDir dir;
  std::string opened = dir.path() + "/opened";
  std::string opener = dir.path() + "/xdg-open";
  // One of ours that is not closed on exec: the opener starts without it.
  const int ours = open("/dev/null", O_RDONLY);
  ASSERT_GT(ours, 2);
  // The opener stays until the test lets it go (or ten seconds pass).
  std::ofstream(opener) << "#!/bin/sh\n[ -e /proc/$$/fd/" << ours
                        << " ] && f=' with ours'\nprintf '%s|%s%s' \"$#\" \"$1\" \"$f\" > '"
                        << opened << ".part'\nmv '" << opened << ".part' '" << opened
                        << "'\ni=0; while [ ! -e '" << opened
                        << ".release' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n: > '"
                        << opened << ".done'\n";
  chmod(opener.c_str(), 0755);
  const std::string url = "https://example.com/a b?q='x'&r=\"y\"";
  {
    lumivex_testing::ScopedEnv path("PATH", dir.path() + ":/usr/bin:/bin");
    OpenUrl(url, 1);
  }
  close(ours);
  // Returned while the opener still runs.
  EXPECT_FALSE(fs::exists(opened + ".done"));
  ASSERT_TRUE(WaitFor([&] { return fs::exists(opened); }, std::chrono::seconds(5)));
  std::ofstream(opened + ".release").put('x');
  std::ifstream in(opened);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "1|" + url);
  // Once the opener has ended nothing of it stays behind.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(opened + ".done"); }, std::chrono::seconds(5)));
  EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; }, std::chrono::seconds(3)));
}

TEST(Process, OpenUrlWithoutAnOpenerReturns) {
  TempDir dir;
  lumivex_testing::ScopedEnv path("PATH", dir.path());
  OpenUrl("https://example.com/", 1);
  EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; }, std::chrono::seconds(2)));
}

}  // namespace
}  // namespace tolvek
