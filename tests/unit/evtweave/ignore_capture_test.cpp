// Ignore lists and the capture text: the parts of their behaviour that golden runs show
// poorly (every matching rule in one table, malformed DNS lines).
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "converter_fixture.h"
#include "evtweave/capture_text.h"
#include "evtweave/ignore_lists.h"

namespace evtweave::testing {
namespace {

namespace fs = std::filesystem;

class IgnoreCaptureTest : public ConverterTest {
 protected:
  std::string WriteTemp(const std::string& name, const std::string& text) {
    std::string path =
        (fs::temp_directory_path() / ("evtweave-" + std::to_string(getpid()) + "-" + name))
            .string();
    std::ofstream(path, std::ios::binary) << text;
    m_files.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : m_files) fs::remove(path);
    ConverterTest::TearDown();
  }
  std::vector<std::string> m_files;
};

TEST_F(IgnoreCaptureTest, EveryPatternKindAndAccess) {
  ResetConverterState();
  IgnoreList list;
  LoadIgnoreFile(WriteTemp("ignores.dat",
                           "exact.txt\tr\n"
                           "exact.txt\tw\n"
                           "C:\\Start*\n"
                           "*.LOG\tr\n"
                           "*middle*\tw\n"
                           "REGEX:^c:\\\\x\\D\\d$\trw\n"
                           "regex:tail*\n"
                           "#commented\n"
                           " #blank-first\n"
                           "**\n"
                           " \trw\n"),
                 list);
  EXPECT_NE(CapturedOutput().find("Loading ignore-file \""), std::string::npos);
  struct Case {
    std::string name;
    char access;
    bool ignored;
  };
  const Case cases[] = {
      {"EXACT.TXT", 'w', true},
      {"exact.txt", 'r', false},  // the later line counts
      {"c:\\start\\a", 'r', true},
      {"c:\\start\\a", 'w', true},
      {"x c:\\start", 'r', false},
      {"a.log", 'r', true},
      {"a.log", 'w', false},
      {"the MIDDLE part", 'w', true},
      {"the middle part", 'r', false},
      {"c:\\xa1", 'r', true},
      {"C:\\XA1", 'w', true},  // \D stays "not a digit"
      {"c:\\x11", 'r', false},
      // Names cut from a hostile log need not be UTF-8: the expression sees U+FFFD there.
      {"c:\\x\xFB"
       "1",
       'r', true},
      {"c:\\x1\xE9", 'r', false},
      {"regex:tail-end", 'r', true},  // "*" makes it starts-with
      {"#commented", 'r', false},
      {" #blank-first", 'r', false},
      {"#blank-first", 'r', true},
      {"", 'r', true},
      {"", 'w', true},  // the blank-TAB line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + c.access);
    EXPECT_EQ(IsIgnored(c.name, c.access, list), c.ignored);
    EXPECT_EQ(IsIgnored(c.name, c.access, list), c.ignored);  // the remembered answer
  }
}

TEST_F(IgnoreCaptureTest, MissingAndEmptyListsDifferOnlyInTheirFingerprint) {
  IgnoreList list;
  LoadIgnoreFile("/no/such/evtweave_fileignores.dat", list);
  LoadIgnoreFile(WriteTemp("empty.dat", ""), list);
  EXPECT_TRUE(list.Empty());
  EXPECT_NE(CapturedOutput().find("\"/no/such/evtweave_fileignores.dat\" ... MD5: \n"),
            std::string::npos);
  EXPECT_NE(CapturedOutput().find("empty.dat\" ... MD5: d41d8cd98f00b204e9800998ecf8427e\n"),
            std::string::npos);
}

// An expression that backtracks without end gives up on a name within its limit: the name
// is not ignored, and the rule says so once per run, whatever names follow.
TEST_F(IgnoreCaptureTest, ExpressionsThatGiveUpIgnoreNothingAndWarnOnce) {
  IgnoreList list;
  LoadIgnoreFile(WriteTemp("slow.dat", "REGEX:(a+)+$\nREGEX:(b|bb)+$\nREGEX:^a+\t r\n"), list);
  std::string stuck(47, 'a');
  stuck += '!';
  EXPECT_FALSE(IsIgnored(stuck, 'w', list));
  EXPECT_FALSE(IsIgnored(stuck + "x", 'w', list));
  EXPECT_FALSE(IsIgnored(std::string(60, 'b') + "!", 'w', list));
  EXPECT_TRUE(IsIgnored(stuck, 'r', list));  // a later rule that answers still counts
  const std::string& out = CapturedOutput();
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = 0; (at = out.find(text, at)) != std::string::npos; ++at) ++n;
    return n;
  };
  EXPECT_EQ(count("Warning: Ignore rule \"REGEX:(a+)+$\""), 1u) << out;
  EXPECT_EQ(count("Warning: Ignore rule \"REGEX:(b|bb)+$\""), 1u) << out;
  EXPECT_EQ(count("Warning: "), 2u) << out;
}

// The workbench writes UTF-8 without a byte-order mark; older lists are Windows-1252. A
// list is read as UTF-8 when it is valid UTF-8, else as the single-byte set. A folder where
// a list should be has no fingerprint.
TEST_F(IgnoreCaptureTest, ListsWithoutAMarkAreUtf8WhenTheyCanBe) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", "C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\*\n"},
      {"Windows-1252", "C:\\Users\\Jos\xE9\\*\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IgnoreList list;
    LoadIgnoreFile(WriteTemp("enc.dat", c.bytes), list);
    ASSERT_EQ(list.PatternList.size(), 1u);
  }
  IgnoreList utf8;
  LoadIgnoreFile(WriteTemp("u.dat", cases[0].bytes), utf8);
  EXPECT_TRUE(IsIgnored("C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\a.txt", 'w', utf8));
  IgnoreList ansi;
  LoadIgnoreFile(WriteTemp("a.dat", cases[1].bytes), ansi);
  EXPECT_TRUE(IsIgnored("C:\\Users\\Jos\xC3\xA9\\a.txt", 'w', ansi));
  std::string folder = WriteTemp("folder.dat", "");
  fs::remove(folder);
  fs::create_directory(folder);
  IgnoreList none;
  LoadIgnoreFile(folder, none);
  EXPECT_NE(CapturedOutput().find("folder.dat\" ... MD5: \n"), std::string::npos);
}

// Of an answer's addresses only the one a server of the log has is named; another that
// carried traffic stays a server seen only in the capture.
TEST_F(IgnoreCaptureTest, OnlyTheAnsweredAddressOfALogServerIsNamed) {
  std::string log =
      kHeader + Row({"t", "a", "1", "TCP Send", "d:1 -> 1.2.3.4:80", "SUCCESS", "Length: 1", "2"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  State().CaptureFile =
      WriteTemp("peers.txt",
                "1 IP 10.0.0.5.1 > 10.0.0.53.53: 7+ A? w.example. (30)\n"
                "2 IP 10.0.0.53.53 > 10.0.0.5.1: 7 2/0/0 A 1.2.3.4, A 9.9.9.9 (60)\n"
                "3 IP 10.0.0.5.2 > 9.9.9.9.443: Flags [S], length 0\n");
  CollectNetworkData();
  const auto& servers = State().entities.Servers;
  ASSERT_NE(servers.Find("1.2.3.4"), kNoIndex);
  EXPECT_EQ(servers.m_items[servers.Find("1.2.3.4")].Domain, "w.example");
  ASSERT_NE(servers.Find("9.9.9.9"), kNoIndex);
  EXPECT_EQ(servers.m_items[servers.Find("9.9.9.9")].OnlyInCapture, 1);
}

TEST_F(IgnoreCaptureTest, CaptureNamesOnlyIpv4AnswersAndWarnsWhenUnreadable) {
  std::string log = kHeader +
                    Row({"1:00:00.0 AM", "a.exe", "1", "TCP Send", "h:1 -> 10.0.0.1:80", "SUCCESS",
                         "Length: 1", "2"}) +
                    Row({"1:00:00.1 AM", "a.exe", "1", "TCP Send", "h:1 -> 10.0.0.2:80", "SUCCESS",
                         "Length: 1", "2"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  State().CaptureFile =
      WriteTemp("capture.txt",
                // A CNAME chain with the address last; a truncated answer; an IPv6 answer; flags.
                "1:00:00.0 IP 1.1.1.1.5 > 2.2.2.2.53: 10+ A? chain.example. (30)\n"
                "1:00:00.1 IP 2.2.2.2.53 > 1.1.1.1.5: 10 3/0/0 CNAME a.example., CNAME b.example., "
                "A 10.0.0.1 (90)\n"
                "1:00:00.2 IP 1.1.1.1.5 > 2.2.2.2.53: 11+ A? cut.example. (30)\n"
                "1:00:00.3 IP 2.2.2.2.53 > 1.1.1.1.5: 11*- 2/0/0 A 10.0.0.2, (60)\n"
                "1:00:00.4 IP 1.1.1.1.5 > 2.2.2.2.53: 12+ A? six.example. (30)\n"
                "1:00:00.5 IP 2.2.2.2.53 > 1.1.1.1.5: 12 1/0/0 CNAME only.example. (40)\n");
  CollectNetworkData();
  auto& servers = State().entities.Servers;
  ASSERT_NE(servers.Find("10.0.0.1"), kNoIndex);
  EXPECT_EQ(servers.m_items[servers.Find("10.0.0.1")].Label, "chain.example\n10.0.0.1");
  EXPECT_EQ(servers.m_items[servers.Find("10.0.0.2")].Label, "cut.example\n10.0.0.2");
  // An answer without an IPv4 address leaves its query unanswered.
  ASSERT_NE(servers.Find("six.example"), kNoIndex);
  EXPECT_EQ(servers.m_items[servers.Find("six.example")].Label, "six.example\n?.?.?.?");
  for (const ServerInfo& server : servers.m_items) {
    EXPECT_EQ(server.Label.find("CNAME"), std::string::npos) << server.Label;
  }

  CapturedOutput().clear();
  State().CaptureFile = "/no/such/capture.txt";
  CollectNetworkData();
  EXPECT_NE(CapturedOutput().find("Warning: Couldn't read file '/no/such/capture.txt'!"),
            std::string::npos);
}

}  // namespace
}  // namespace evtweave::testing
