#include "evtweave/path_names.h"

#include <chrono>

#include "converter_fixture.h"
#include "evtweave/crash_report.h"

namespace evtweave::testing {
namespace {

using PathNamesTest = ConverterTest;

TEST_F(PathNamesTest, PathLabelIsThePathOrWithNopathsTheName) {
  ResetConverterState();
  EXPECT_EQ(PathLabel("C:\\a\\b\\c.txt"), "C:\\a\\b\\c.txt");
  State().options.nopaths = true;
  EXPECT_EQ(PathLabel("C:\\a\\b/c.txt"), "c.txt");
  EXPECT_EQ(UnescapeApostrophe("it_0x27_s"), "it's");
}

// Paths are compared in lower case eight ASCII bytes at a time; the letters next to the
// alphabet ('@', '[', '`', '{') and letters beyond ASCII must come out right wherever they fall.
TEST_F(PathNamesTest, LowerCaseKnowsTheLettersOfTheLogsScripts) {
  struct Case {
    std::string text, lower;
  } cases[] = {
      {"C:\\WINDOWS\\System32\\@AZ[`az{.DLL", "c:\\windows\\system32\\@az[`az{.dll"},
      {"ABCDEFG\xC3\x89XYZ", "abcdefg\xC3\xA9xyz"},  // É across a word
      {"\xCE\xA3\xD0\x96\xD0\x81\xC4\xB0\xC5\xB8", "\xCF\x83\xD0\xB6\xD1\x91\xC4\xB0\xC3\xBF"},
      {"\xC3\x97 \xE2\x82\xAC ABC", "\xC3\x97 \xE2\x82\xAC abc"},  // × and € stay
      {"ABCDEFGH\xC3", "abcdefgh\xC3"},                            // cut sequence kept
  };
  for (const Case& c : cases) EXPECT_EQ(LowerCase(c.text), c.lower) << c.text;
}

TEST_F(PathNamesTest, ShortNamesTakeTheFirstLongPathOfTheLogAndNoOperators) {
  std::string log = kHeader + Row({"t", "a", "1", "x", "C:\\ZetaDir B\\f.txt", "S", "", "2"}) +
                    Row({"t", "a", "1", "x", "C:\\ZetaDir A\\f.txt", "S", "", "2"}) +
                    Row({"t", "a", "1", "x", "C:\\ZETADI~1\\f.txt", "S", "", "2"}) +
                    // "|" would split the expression into alternatives that match any path.
                    Row({"t", "a", "1", "x", "C:\\A|C~1\\f.txt", "S", "", "2"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  EXPECT_EQ(Rows()[2].FullPath, "c:\\zetadir b\\f.txt");
  EXPECT_EQ(Rows()[3].FullPath, "c:\\a|c~1\\f.txt");
}

TEST_F(PathNamesTest, ShortNamesResolveAgainstTheLogsLongPaths) {
  std::string log =
      kHeader +
      Row({"t", "a", "1", "x", "C:\\Program Files\\Mozilla Firefox\\firefox.exe", "S", "", "2"}) +
      Row({"t", "a", "1", "x", "C:\\Program Files\\Common Files\\x.dll", "S", "", "2"}) +
      Row({"t", "a", "1", "x", "C:\\PROGRA~1\\MOZILL~1", "S", "", "2"}) +
      Row({"t", "a", "1", "x", "C:\\NOWHER~1\\a.txt", "S", "", "2"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  EXPECT_EQ(Rows()[2].FullPath, "c:\\program files\\mozilla firefox");
  // Without a long form the path still matches itself among the log's paths.
  EXPECT_EQ(Rows()[3].FullPath, "c:\\nowher~1\\a.txt");
  EXPECT_EQ(State().entities.ShortPathCache.count("C:\\NOWHER~1\\a.txt"), 1u);
  EXPECT_EQ(State().entities.ShortPathCache.count("C:\\Program Files\\Common Files\\x.dll"), 0u);
  EXPECT_FALSE(HasShortNameComponent("C:\\a~b\\x~12"));
  EXPECT_TRUE(HasShortNameComponent("C:\\abc~2"));
}

// How a short path meets the log's long paths, component by component: "~1" to "~4" stand
// for any run within one component (also inside or twice in a row), "~5" is plain text, the
// last component covers the start of a longer one, and letter case does not count.
TEST_F(PathNamesTest, ShortComponentsMatchWithinTheirComponentOnly) {
  struct Case {
    const char* shortPath;
    const char* resolved;
  } cases[] = {
      {"C:\\Dir\\AB~1X~2\\f.txt", "c:\\dir\\abcxyz\\f.txt"},
      {"C:\\Dir\\~1~1\\f.txt", "c:\\dir\\abcxyz\\f.txt"},
      {"C:\\Dir\\ABC~5\\f.txt", "c:\\dir\\abc~5\\f.txt"},  // only itself holds it
      {"C:\\Dir\\AB~1\\F", "c:\\dir\\abcxyz\\f"},          // the start of "f.txt"
      {"C:\\Dir\\AB~1", "c:\\dir\\abcxyz"},                // a folder, not a file below
      {"C:\\Dir\\A~1Z\\F~1", "c:\\dir\\abcxyz\\f.txt"},
      {"C:\\Dir\\A~1Z\\f.txt", "C:\\Dir\\A~1Z\\f.txt"},  // no component ends in "~1"
      {"C:\\Dir\\X~1\\f.txt", "c:\\dir\\x~1\\f.txt"},    // no long form: itself
      {"C:\\DIR\\ABCXY~1\\G~1", "c:\\dir\\abcxyz\\g1.txt"},
      {"C:\\~1\\~1\\G~1", "c:\\dir\\abcxyz\\g1.txt"},
      {"C:\\Dir\\Q~1\\f.txt", "C:\\Dir\\Q~1\\f.txt"},  // nothing of the log: unchanged
  };
  std::string log = kHeader;
  for (const char* path : {"C:\\Dir\\abcxyz\\f.txt", "C:\\Dir\\abc~5\\f.txt",
                           "C:\\Dir\\abcxyz\\g1.txt", "C:\\Dir\\x~1\\f.txt"}) {
    log += Row({"t", "a", "1", "x", path, "S", "", "2"});
  }
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  for (const Case& c : cases) EXPECT_EQ(ResolveShortPath(c.shortPath), c.resolved) << c.shortPath;
}

// Names built to make a matcher backtrack (twelve "a~1" in one component before the last
// one, 25 "~1" in a row) against long paths whose component holds forty "a": an expression
// tries every way to share the "a" among its wildcards before it fails on the next
// component. Each name here resolves by one walk down the folders it names.
TEST_F(PathNamesTest, ShortNamesBuiltToBacktrackResolveQuickly) {
  const std::string deep = "C:\\x\\" + std::string(40, 'a');
  std::string log = kHeader;
  for (int n = 0; n < 300; ++n) {
    log += Row({"t", "a", "1", "x", deep + "\\z" + std::to_string(n) + "long", "S", "", "2"});
  }
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  std::string shortDeep = "C:\\x\\";
  for (int i = 0; i < 12; ++i) shortDeep += "a~1";
  auto begin = std::chrono::steady_clock::now();
  for (int n = 0; n < 300; n += 7) {
    EXPECT_EQ(ResolveShortPath(shortDeep + "\\z" + std::to_string(n) + "~1"),
              LowerCase(deep) + "\\z" + std::to_string(n) + "long");
  }
  std::string adjacent = "C:\\x\\";
  for (int i = 0; i < 25; ++i) adjacent += "~1";
  EXPECT_EQ(ResolveShortPath(adjacent + "Q\\B~1"), adjacent + "Q\\B~1");
  // Thousands of such comparisons: a matcher that backtracks takes minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
}

TEST(ContentCategories, ByExtensionAndName) {
  struct Case {
    const char* name;
    const char* category;
  } cases[] = {
      {"c:\\web\\logo.PNG", "GRAFX"},
      {".css", "CSS"},
      {"css", "CSS"},
      {"page.php", "HTML"},
      {"c:\\x\\app.js", "JAVASCRIPT"},
      {"feed.xml", "XML"},
      {"movie.swf", "FLASH"},
      {"c:\\cookies\\bob@site.txt", "COOKIES"},
      {"c:\\notes.txt", "c:\\notes.txt"},
      {"C:\\Users\\Cookies\\index.dat", "COOKIES"},
      {"c:\\other.dat", "c:\\other.dat"},
      {"entry[12]", "HTML"},
      {"x?cb=gapi.loaded", "JAVASCRIPT"},
      {"c:\\a.b\\noext", "c:\\a.b\\noext"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetContentCategory(c.name), c.category) << c.name;
  EXPECT_TRUE(HasContentCategory("css"));
  EXPECT_FALSE(HasContentCategory("CSS"));
}

TEST(CrashReport, KeepsTheFiveLinePrefixes) {
  EXPECT_EQ(CrashReportText(4198400, 11, "", 0, "Invalid memory access (SIGSEGV)"),
            "ErrorAddress(): 4198400\r\nErrorCode(): 11\r\nErrorFile(): \r\nErrorLine(): 0\r\n"
            "ErrorMessage(): Invalid memory access (SIGSEGV)\r\n");
}

}  // namespace
}  // namespace evtweave::testing
