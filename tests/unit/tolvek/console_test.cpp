#include "tolvek/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace tolvek {
namespace {

// Standard output as a pipe for the duration of one call.
std::string CapturedStdout(void (*print)(std::string_view), std::string_view text) {
  int fds[2];
  if (pipe(fds) != 0) return "<no pipe>";
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  dup2(fds[1], STDOUT_FILENO);
  close(fds[1]);
  print(text);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  return out;
}

TEST(Console, LinesGoOutAsWindows1252WithOneLf) {
  struct Case {
    std::string text;
    std::string bytes;
  };
  const Case cases[] = {
      {"Done.", "Done.\n"},    {"", "\n"}, {"ä€ Ж 😀", "\xE4\x80 ? ?\n"}, {"a\r\nb", "a\r\nb\n"},
      {"bad \xFF", "bad ?\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CapturedStdout(&PrintLineAscii, c.text), c.bytes) << c.text;
  }
}

TEST(Console, AsciiStringKeepsWhatTheCodePageHolds) {
  struct Case {
    std::string text;
    std::string result;
  };
  const Case cases[] = {
      {"plain", "plain"}, {"äöüß€Ÿ", "äöüß€Ÿ"}, {"Жx", "?x"}, {"😀", "?"}, {"\xC3", "?"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(AsciiString(c.text), c.result) << c.text;
}

TEST(ConsoleDeathTest, AClosedPipeIsIgnored) {
  EXPECT_EXIT(
      {
        std::signal(SIGPIPE, SIG_IGN);  // as the converter runs
        int fds[2];
        if (pipe(fds) != 0) std::_Exit(2);
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        PrintLineAscii("nobody reads this");
        PrintLineAscii("nor this");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tolvek
