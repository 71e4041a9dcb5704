#include "evtweave/path_names.h"
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
