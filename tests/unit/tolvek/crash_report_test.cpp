// The crash handler as a real program meets it: crash_probe crashes on demand, and its
// follow-up is start_record, recording how it was started.
#include "tolvek/crash_report.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tolvek {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CrashReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvek-crash-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_home = m_dir / "home";
    fs::create_directory(m_home);
    m_record = m_dir / "record";
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // Runs the probe until it ends; its wait status.
  int Crash(const std::string& how, const fs::path& home) {
    std::string homeVariable = "HOME=" + home.string();
    std::string recordVariable = "START_RECORD=" + m_record.string();
    std::vector<char*> env = {homeVariable.data(), recordVariable.data(), nullptr};
    std::string probe = CRASH_PROBE_PATH, recorder = START_RECORD_PATH;
    std::string one = "one", two = "two words";
    std::vector<char*> argv = {probe.data(),    const_cast<char*>(how.c_str()),
                               recorder.data(), one.data(),
                               two.data(),      nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, probe.c_str(), nullptr, nullptr, argv.data(), env.data()) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  }

  // The follow-up's record, once it has written it.
  std::vector<std::string> FollowUp() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(m_record) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(m_record));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    fs::remove(m_record);
    return lines;
  }

  std::vector<std::string> PartFiles() const {
    std::vector<std::string> parts;
    for (const auto& entry : fs::directory_iterator(m_home))
      if (entry.path().extension() == ".part") parts.push_back(entry.path().filename());
    return parts;
  }

  // What a follow-up of a clean start records after the program's own arguments.
  std::vector<std::string> CleanStart(const std::string& written) const {
    return {"arg one",
            "arg two words",
            "arg " + written,
            "SigBlk:\t0000000000000000",
            "SigIgn:\t0000000000000000",
            "stdin /dev/null",
            "fds 0 1 2 3"};
  }

  fs::path m_dir, m_home, m_record;
};

bool EndedWithCodeOne(int status) {
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST_F(CrashReportTest, AFaultReplacesTheOlderReportAndStartsTheFollowUpAfresh) {
  std::ofstream(m_home / "probe.error") << "an older report";
  ASSERT_TRUE(EndedWithCodeOne(Crash("fault", m_home)));
  const std::string report = ReadAll(m_home / "probe.error");
  EXPECT_TRUE(std::regex_match(report, std::regex("Probe-Head\r\n"
                                                  "ErrorAddress\\(\\): [1-9][0-9]*\r\n"
                                                  "ErrorCode\\(\\): 11\r\n"
                                                  "ErrorFile\\(\\): crash_probe\\.cpp\r\n"
                                                  "ErrorLine\\(\\): [1-9][0-9]*\r\n"
                                                  "ErrorMessage\\(\\): Invalid memory access "
                                                  "\\(SIGSEGV\\)\r\n\r\n"
                                                  "Callstack: ProbeMain\\(\\) -> "
                                                  "TouchUnmappedMemory\\(\\)\r\n\r\n"
                                                  "Probe-Tail\r\n")))
      << report;
  // The follow-up learns where the report is, and has none of the probe's blocked or
  // ignored signals, nor its standard input or other descriptors.
  EXPECT_EQ(FollowUp(), CleanStart((m_home / "probe.error").string()));
  EXPECT_EQ(PartFiles(), std::vector<std::string>{});
}

// Whatever stands under the report's name afterwards is this crash's: an older report goes
// even when the new one cannot be written.
TEST_F(CrashReportTest, AReportThatCannotBeWrittenIsTheFollowUpsToKnow) {
  struct Case {
    const char* what;
    const char* how;
    fs::path home;
  };
  const Case cases[] = {
      {"no home folder", "fault", m_dir / "no-such-home"},
      {"its temporary name taken", "taken", m_home},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (fs::exists(c.home)) std::ofstream(c.home / "probe.error") << "an older report";
    ASSERT_TRUE(EndedWithCodeOne(Crash(c.how, c.home)));
    EXPECT_EQ(FollowUp(), CleanStart(""));
    EXPECT_FALSE(fs::exists(c.home / "probe.error"));
  }
}

TEST_F(CrashReportTest, TwoThreadsFaultingAtOnceLeaveOneWholeReport) {
  for (int run = 0; run < 5; ++run) {
    SCOPED_TRACE(run);
    const int status = Crash("two-threads", m_home);
    // A process ended by the signal's default action starts no follow-up to wait for.
    ASSERT_TRUE(EndedWithCodeOne(status)) << status;
    EXPECT_NE(ReadAll(m_home / "probe.error")
                  .find("\r\nCallstack: TouchUnmappedMemory()\r\n\r\nProbe-Tail\r\n"),
              std::string::npos);
    EXPECT_EQ(PartFiles(), std::vector<std::string>{});
    EXPECT_EQ(FollowUp(), CleanStart((m_home / "probe.error").string()));
    fs::remove(m_home / "probe.error");
  }
}

TEST_F(CrashReportTest, AStackOverflowOnAStartedThreadIsReported) {
  ASSERT_TRUE(EndedWithCodeOne(Crash("overflow", m_home)));
  EXPECT_NE(ReadAll(m_home / "probe.error").find("\r\nErrorCode(): 11\r\n"), std::string::npos);
  EXPECT_EQ(FollowUp(), CleanStart((m_home / "probe.error").string()));
}

TEST_F(CrashReportTest, AFaultInsideTheHandlerEndsAtOnceWithoutLeftovers) {
  EXPECT_TRUE(EndedWithCodeOne(Crash("refault", m_home)));
  EXPECT_FALSE(fs::exists(m_home / "probe.error"));
  EXPECT_EQ(PartFiles(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tolvek
