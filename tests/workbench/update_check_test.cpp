// The update check against a local server: the answers it may give, a server that does not
// answer in time or answers with an error page, betas on and off, from the menu and at
// start-up. The download page goes to a stand-in for the desktop's opener.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_system.h"
#include "port_line.h"
#include "tolvek/process.h"
#include "workbench/stages.h"
#include "workbench/update_check.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;
namespace fs = std::filesystem;

class UpdateCheckTest : public WorkbenchTest {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/lumivex-update-XXXXXX";
    s_files = mkdtemp(pattern);
    auto put = [](const std::string& path, const std::string& text) {
      fs::create_directories(fs::path(s_files + path).parent_path());
      WriteWholeFile(s_files + path, text);
    };
    put("/r55/lastbuild.txt", "55\n");
    put("/r56/lastbuild.txt", "56 (release notes follow)\n");
    put("/r54b56/lastbuild.txt", "54\n");
    put("/r54b56/lastbuildincludingbetas.txt", "56\n");
    put("/r54/lastbuild.txt", "54\n");
    put("/empty/lastbuild.txt", "");
    put("/slow/lastbuild.txt", "99\n");
    ASSERT_TRUE(tolvek::StartProgram(
        "/usr/bin/python3", {LUMIVEX_SOURCE_DIR "/tests/workbench/update_test_server.py", s_files},
        "", s_server));
    const std::string port = lumivex_testing::ReadPortLine(s_server.outFd);
    ASSERT_FALSE(port.empty());
    s_url = "http://127.0.0.1:" + port + "/";
    const std::string unused = lumivex_testing::UnusedPort();
    ASSERT_FALSE(unused.empty());
    s_nobody = "http://127.0.0.1:" + unused + "/";
  }
  static void TearDownTestSuite() {
    tolvek::KillProgram(s_server);
    tolvek::CloseProgram(s_server);
    fs::remove_all(s_files);
  }
  void SetUp() override {
    WorkbenchTest::SetUp();
    // The desktop's opener is a stand-in that notes what it was given.
    const std::string bin = m_root + "/bin/";
    mkdir(bin.c_str(), 0700);
    m_opened = m_root + "/opened";
    WriteWholeFile(bin + "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + m_opened +
                                         ".part'\nmv '" + m_opened + ".part' '" + m_opened + "'\n");
    chmod((bin + "xdg-open").c_str(), 0755);
    SetEnv("PATH", bin + ":/usr/bin:/bin");
  }
  void TearDown() override {
    detail::SetUpdateServer("");
    WorkbenchTest::TearDown();
  }
  // The address the opener received, waiting a little for it; "" when none came.
  std::string Opened(bool expectOne) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(expectOne ? 5 : 0);
    while (!FileExists(m_opened) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string url = FileExists(m_opened) ? ReadWholeFile(m_opened) : "";
    unlink(m_opened.c_str());
    return url;
  }
  static std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const auto& m : platform::ShownMessages()) texts.push_back(m.text);
    return texts;
  }

  static inline std::string s_files, s_url, s_nobody;
  static inline tolvek::Program s_server;
  std::string m_opened;
};

const std::string kRecent = "You are running the most recent version of LumiVEX.";
const std::string kNoNumber =
    "The update check failed: the update server's answer holds no build number.";
const std::string kTooLate = "The update check failed: the update server did not answer in time.";
const std::string kUnreachable = "The update check failed: the update server could not be reached.";
const std::string kPage = "downloadlumivexbinaries.htm";

TEST_F(UpdateCheckTest, AnswersBetasAndFailuresFromTheMenuAndAtStartUp) {
  StartQuietly();
  const std::string release =
      "There is a new build available!\n\nLast build: \t56\nYour build: \t55";
  const std::string beta =
      "There is a new beta build available!\n\nLast build: \t56\nYour build: \t55";
  const std::string outdated =
      "\n\nDo you want to run this outdated version anyway?\n\n(Note: You can disable "
      "auto-update-check in LumiVEX's options)";
  struct Case {
    const char* server;
    bool betas, atStartup;
    std::vector<int> answers;
    std::vector<std::string> texts;  // "%p" stands for the download page's address
    bool opens;
  } cases[] = {
      {"r55", false, false, {1}, {kRecent}, false},
      {"r55", false, true, {}, {}, false},
      {"r54b56", false, false, {1}, {kRecent}, false},
      {"r54b56",
       true,
       false,
       {platform::kResultYes},
       {beta + "\n\nGet the new version from %p"},
       true},
      {"r54b56", true, true, {platform::kResultYes}, {beta + outdated}, false},
      // The beta file is not asked for when the release is newer (this server has none).
      {"r56",
       true,
       false,
       {platform::kResultYes},
       {release + "\n\nGet the new version from %p"},
       true},
      {"r56",
       false,
       false,
       {platform::kResultNo},
       {release + "\n\nGet the new version from %p"},
       false},
      {"r56", false, true, {platform::kResultYes}, {release + outdated}, false},
      {"r56",
       false,
       true,
       {platform::kResultNo, platform::kResultYes},
       {release + outdated, "Get the new version from %p"},
       true},
      {"r54", true, false, {1}, {kNoNumber}, false},  // an error page for the beta file
      {"missing", false, false, {1}, {kNoNumber}, false},
      {"missing", false, true, {}, {}, false},
      {"empty", false, false, {1}, {kNoNumber}, false},
      {"slow", false, false, {1}, {kTooLate}, false},
      {"slow", false, true, {}, {}, false},
      {"nobody", false, false, {1}, {kUnreachable}, false},
      {"nobody", false, true, {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + (c.betas ? " betas" : "") +
                 (c.atStartup ? " at start-up" : " from the menu"));
    platform::ClearScriptedAnswers();
    for (int answer : c.answers) platform::ScriptMessageAnswer(answer);
    const std::string base = std::string(c.server) == "nobody" ? s_nobody : s_url;
    detail::SetUpdateServer(base + c.server);
    State().options.updateCheckBetas = c.betas ? 1 : 0;
    auto start = std::chrono::steady_clock::now();
    CheckForUpdate(c.atStartup);
    // The slow server's late answer would tell of a newer build, so the texts show whether the
    // check gave up in time; this bound only keeps a check that waits on from hanging.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    std::vector<std::string> expected;
    const std::string address = base + c.server + "/" + kPage;
    for (std::string text : c.texts) {
      size_t p = text.find("%p");
      if (p != std::string::npos) text.replace(p, 2, address);
      expected.push_back(text);
    }
    EXPECT_EQ(Texts(), expected);
    EXPECT_EQ(Opened(c.opens), c.opens ? address : "");
  }
}

TEST_F(UpdateCheckTest, TheStartUpChecksWhenTheUserAgreed) {
  auto settings = QuietSettings();
  settings["auto_update_check"] = "1";
  WriteSettings(settings);
  detail::SetUpdateServer(s_url + "r56");
  platform::ScriptMessageAnswer(platform::kResultYes);  // run the outdated build anyway
  ASSERT_TRUE(Start());
  ASSERT_EQ(platform::ShownMessages().size(), 1u);
  EXPECT_EQ(platform::ShownMessages()[0].text.rfind("There is a new build available!", 0), 0u);
  EXPECT_EQ(Opened(false), "");
}

TEST(UpdateCheckNumbers, TheLeadingNumberCounts) {
  EXPECT_EQ(LeadingBuildNumber("56\n"), 56);
  EXPECT_EQ(LeadingBuildNumber("0056 beta"), 56);
  EXPECT_EQ(LeadingBuildNumber(" 56"), 0);
  EXPECT_EQ(LeadingBuildNumber("<html>"), 0);
  EXPECT_GT(LeadingBuildNumber("99999999999999999999999"), 55);
}

}  // namespace
