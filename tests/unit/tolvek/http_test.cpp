#include "tolvek/http.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "port_line.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "scoped_env.h"
#include "tolvek/callstack.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"

namespace tolvek {
namespace {

namespace fs = std::filesystem;

// A local server for the whole suite; the private folder lives in a test folder.
class Http : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/httptest-XXXXXX";
    s_base = mkdtemp(pattern);
    {
      lumivex_testing::ScopedEnv tmpdir("TMPDIR", s_base);
      lumivex_testing::ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
      detail::ResetTempFilesForTest();
      detail::InitPrivateTempDir("httptest");
    }

    ASSERT_TRUE(StartProgram("/usr/bin/python3",
                             {LUMIVEX_SOURCE_DIR "/tests/unit/tolvek/http_test_server.py"}, "",
                             s_server));
    const std::string port = lumivex_testing::ReadPortLine(s_server.outFd);
    ASSERT_FALSE(port.empty());
    s_url = "http://127.0.0.1:" + port;
  }
  static void TearDownTestSuite() {
    KillProgram(s_server);
    CloseProgram(s_server);
    detail::ResetTempFilesForTest();
    fs::remove_all(s_base);
  }
  void TearDown() override { detail::SetDownloaderPath(""); }

  static std::string Get(const std::string& path, bool headers = false, int64_t timeout = 10000) {
    return GetHttpResponse2String(s_url + path, timeout, headers, "", true, false);
  }
  static bool NoJobFiles() {
    for (const auto& entry : fs::directory_iterator(GetTemporaryDirectory4TolvekZubl())) {
      if (entry.path().filename().string().rfind("wget_", 0) == 0) return false;
    }
    return true;
  }

  static inline std::string s_base;
  static inline std::string s_url;
  static inline Program s_server;
};

TEST_F(Http, BodiesByContentType) {
  struct Case {
    std::string path;
    std::string expected;
  };
  for (const Case& c : {Case{"/text", "build 4711 ä\n?q=/text\n"},
                        Case{"/png", "Cannot display content-type \"image/png\"\n"},
                        Case{"/json", "Cannot display content-type \"application/json\"\n"},
                        Case{"/redirect", "build 4711 ä\n?q=/text\n"},
                        Case{"/text%3Fa%3db%26c", "build 4711 ä\n?q=/text?a=b&c\n"}}) {
    EXPECT_EQ(Get(c.path), c.expected) << c.path;
  }
  EXPECT_TRUE(NoJobFiles());
}

TEST_F(Http, OnlyTheAskedStartOfABodyIsRead) {
  EXPECT_EQ(GetHttpResponse2String(s_url + "/text", 10000, false, "", true, false, 5), "build\n");
  EXPECT_EQ(GetHttpResponse2String(s_url + "/text", 10000, false, "", true, false, 0), "\n");
  EXPECT_TRUE(NoJobFiles());
}

TEST_F(Http, AnAnswerTellsWhetherAServerWasReached) {
  const std::string port = lumivex_testing::UnusedPort();
  ASSERT_FALSE(port.empty());
  const std::string nobody = "http://127.0.0.1:" + port;
  struct Case {
    std::string url, text;
    bool reached;
  } cases[] = {{s_url + "/text", "build 4711 \xC3\xA4\n", true},
               {s_url + "/missing", "\n", true},
               {nobody + "/text", "\n", false}};
  for (const Case& c : cases) {
    HttpAnswer answer = GetHttpAnswer(c.url, 10000, "", true, false, 13);
    EXPECT_EQ(answer.text, c.text) << c.url;
    EXPECT_EQ(answer.reached, c.reached) << c.url;
  }
  EXPECT_TRUE(NoJobFiles());
}

TEST_F(Http, HeadersComeFirstWhenAsked) {
  std::string answer = Get("/png", true);
  size_t split = answer.find('\x01');
  ASSERT_NE(split, std::string::npos);
  EXPECT_NE(answer.substr(0, split).find("HTTP/1.0 200 OK"), std::string::npos);
  EXPECT_EQ(answer.substr(split + 1), "Cannot display content-type \"image/png\"\n");
}

TEST_F(Http, TimeOutStopsTheDownloaderAndLeavesNoJobFiles) {
  EXPECT_EQ(Get("/slow", false, 500), "***TIMEOUT***");
  EXPECT_TRUE(NoJobFiles());
}

TEST_F(Http, JobIdsWrapAfterTheLastOne) {
  detail::SetHttpJobCounter(999'999);
  EXPECT_EQ(detail::GetHttpResponse(s_url + "/text", 10000, "", true, false), 1);
  EXPECT_EQ(detail::GetHttpResponse(s_url + "/text", 10000, "", true, false), 2);
  unlink(detail::HttpLogPath(1).c_str());
  unlink(detail::HttpBodyPath(1).c_str());
  unlink(detail::HttpLogPath(2).c_str());
  unlink(detail::HttpBodyPath(2).c_str());
}

TEST_F(Http, MissingDownloaderAnswersAtOnceWithNothing) {
  detail::SetDownloaderPath("/nonexistent/wget");
  EXPECT_EQ(Get("/text"), "");
}

TEST(HttpArguments, EachPieceIsOneArgumentAndCertificatesStayChecked) {
  auto args =
      detail::DownloaderArguments("http://h/a b?\"x\"", "r \"q\"", true, true, "/t/log", "/t/body");
  EXPECT_EQ(args, (std::vector<std::string>{"--referer=r \"q\"", "-S", "-o", "/t/log", "-O",
                                            "/t/body", "-t", "0", "--no-proxy", "--max-redirect=0",
                                            "http://h/a b?\"x\""}));
  args = detail::DownloaderArguments("u", "", false, false, "l", "b");
  EXPECT_EQ(args, (std::vector<std::string>{"-S", "-o", "l", "-O", "b", "-t", "0", "u"}));
}

}  // namespace
}  // namespace tolvek
