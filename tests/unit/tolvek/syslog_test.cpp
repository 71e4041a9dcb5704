#include "tolvek/syslog.h"

#include <gtest/gtest.h>

#include "syslog_capture.h"

namespace tolvek {
namespace {

TEST(Syslog, MessageLinesBecomeInsertionStrings) {
  struct Case {
    std::string message;
    std::vector<std::string> lines;
  };
  for (const Case& c : {
           Case{"one line", {"one line"}},
           Case{"x\n\nCallstack: ", {"x", "", "Callstack: "}},
           Case{"", {""}},
           Case{"a\n", {"a"}},
           Case{"\n", {""}},
           Case{"a\r\nb", {"a\r", "b"}},
       }) {
    testing::SyslogCapture capture;
    SyslogWarning(c.message);
    ASSERT_EQ(capture.events().size(), 1u);
    EXPECT_EQ(capture.events()[0].type, kSyslogWarning);
    EXPECT_EQ(capture.events()[0].lines, c.lines) << c.message;
  }
}

TEST(Syslog, SourceIsTheProgramFileName) {
  EXPECT_EQ(GetSyslogSource(), "tolvek_tests");
}

}  // namespace
}  // namespace tolvek
