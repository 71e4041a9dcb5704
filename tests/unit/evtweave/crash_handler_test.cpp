#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "converter_fixture.h"
#include "evtweave/converter.h"
#include "evtweave/crash_report.h"
#include "tolvek/callstack.h"

namespace evtweave {
namespace {

namespace fs = std::filesystem;

// A real invalid access; the sanitizers would turn it into a report of their own first.
const int kTracedLine = __LINE__ + 3;
__attribute__((no_sanitize("address", "undefined"), noinline)) void TouchUnmappedMemory() {
  // The converter's own procedures are traced just so: the position without the name.
  TOLVEK_TRACE("TouchUnmappedMemory");
  *reinterpret_cast<volatile int*>(uintptr_t{8}) = 1;
}

TEST(CrashHandler, AFaultMidRunLeavesTheFiveLineReportInHomeAndNoOutputs) {
  char pattern[] = "/tmp/evtweave-crash-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path dir = pattern;
  fs::path home = dir / "home";
  fs::create_directory(home);
  // The log comes through a FIFO that never ends, so the run is surely inside its reading
  // phase when another of its threads faults.
  fs::path log = dir / "log.csv";
  ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
  fs::path dot = dir / "out.dot";

  EXPECT_EXIT(
      {
        // Only the child's environment: the death test's process ends here.
        setenv("HOME", home.c_str(), 1);
        InstallCrashHandler();
        std::thread([log] {
          int fd = open(log.c_str(), O_WRONLY | O_CLOEXEC);
          (void)!write(fd, testing::kHeader.data(), testing::kHeader.size());
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          TouchUnmappedMemory();
        }).detach();
        RunConverter({log.string(), dot.string(), "lumivex", ""});
        std::_Exit(3);  // the log never ends: the run cannot complete
      },
      ::testing::ExitedWithCode(1), "");

  std::ifstream in(home / "evtweave.error", std::ios::binary);
  std::string report(std::istreambuf_iterator<char>(in), {});
  EXPECT_TRUE(std::regex_match(report, std::regex("ErrorAddress\\(\\): [1-9][0-9]*\r\n"
                                                  "ErrorCode\\(\\): 11\r\n"
                                                  "ErrorFile\\(\\): crash_handler_test\\.cpp\r\n"
                                                  "ErrorLine\\(\\): " +
                                                  std::to_string(kTracedLine) +
                                                  "\r\n"
                                                  "ErrorMessage\\(\\): Invalid memory access "
                                                  "\\(SIGSEGV\\)\r\n")))
      << report;
  EXPECT_FALSE(fs::exists(dot));
  EXPECT_FALSE(fs::exists(dot.string() + ".lumivex"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace evtweave
