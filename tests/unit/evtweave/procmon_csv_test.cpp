#include "converter_fixture.h"
#include "reading_text.h"
#include "tolvek/syslog.h"

#include <cstdio>
#include <new>

namespace evtweave::testing {
namespace {

using CsvTest = ConverterTest;

TEST_F(CsvTest, HeaderColumnsAreFoundByNameInAnyOrderAndCase) {
  struct Case {
    std::string header;
    bool accepted;
  } cases[] = {
      {kHeader, true},
      {"TID,detail,RESULT,Path,Operation,pid,Process Name,Time of Day,Extra\r\n", true},
      {"\"Time of Day\", \"Process Name\", \"PID\", \"Operation\", \"Path\", \"Result\", "
       "\"Detail\", \"TID\"\r\n",
       false},  // a blank after each comma is part of the name
      {"\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\"\n",
       false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Load(c.header) == CsvReadResult::kOk, c.accepted) << c.header;
  }
}

TEST_F(CsvTest, FieldsComeByColumnPositionWithTheirProtections) {
  std::string log =
      "\"TID\",\"Path\",\"Detail\",\"Result\",\"Operation\",\"PID\",\"Process Name\","
      "\"Time of Day\"\r\n"
      "\"7\",\" C:\\Dir\\It's.. \",\"say \"\"hi\"\"\x01\",\"SUCCESS\",\"ReadFile\","
      "\"42\",\"a" +
      std::string(1, '\0') + ".exe\",\"1:00:00 PM\"\r\n";
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  ASSERT_EQ(Rows().size(), 1u);
  const ProcmonRow& row = Rows()[0];
  EXPECT_EQ(row.FullPath, "C:\\Dir\\It_0x27_s");
  EXPECT_EQ(row.Detail, "say \"hi\"_0x01_");
  EXPECT_EQ(row.TimeOfDay, "1:00:00 PM");
  EXPECT_EQ(Text(row.ProcessName), "a_0x00_.exe");  // Graphviz would stop at a NUL
  EXPECT_EQ(row.m_op, Op::kReadFile);
  ASSERT_EQ(State().csv.LongPaths.size(), 1u);
  EXPECT_EQ(State().csv.LongPaths[0], "c:\\dir\\it_0x27_s");
}

TEST_F(CsvTest, LineNumbersFollowPhysicalLines) {
  std::string log = kHeader +                                             // line 1
                    Row({"t1", "a", "1", "x", "", "SUCCESS", "", "2"}) +  // 2
                    "\"t2\",\"a\",\"1\",\"x\",\"\",\"SUCCESS\",\"two\r\nlines \"\"q\"\"\r\n"
                    "end\",\"2\"\r\n" +                                             // 3-5
                    "\"t3\",\"a\",\"1\",\"x\",\"\",\"SUCCESS\",\"\",\"2\"\r" +      // 6, lone CR
                    Row({"t4", "a", "1", "x", "", "SUCCESS", "", "2"}) +            // still 6
                    Row({"", "kalvo-cpp.exe", "*1*", "", "", "SUCCESS", "", ""}) +  // 7, kept at 7
                    Row({"t5", "a", "1", "x", "", "SUCCESS", "", "2"});             // 7
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  std::vector<int64_t> lines;
  for (const ProcmonRow& row : Rows()) lines.push_back(row.OriginalLineNumber);
  EXPECT_EQ(lines, (std::vector<int64_t>{2, 3, 6, 6, 7, 7}));
  // The breaks inside the field are kept, written out, so two lines never read as one.
  EXPECT_EQ(Rows()[1].Detail, "two_0x0D__0x0A_lines \"q\"_0x0D__0x0A_end");
}

// After a valid header one defective line costs that line only: blank lines go silently,
// a line that is no quoted record and a record whose quote stays open to the end of the file
// go with a warning naming their line, and reading goes on after them.
TEST_F(CsvTest, StrayLinesAreSkippedAndTheRestIsKept) {
  const std::string good = Row({"t", "a", "1", "x", "", "S", "", "2"});
  struct Case {
    const char* what;
    std::string body;
    std::vector<int64_t> lines;
    std::vector<std::string> warnings;
  } cases[] = {
      {"blank line in the middle numbers the next record from it",
       good + "\r\n" + good,
       {2, 3},
       {}},
      {"blanks, tabs and a final Ctrl-Z", good + " \t \r\n" + good + "\x1A", {2, 3}, {}},
      {"row of bare commas", good + ",,,,,,,\r\n" + good, {2, 4}, {"Line 3 is not"}},
      {"record that does not begin with a quote",
       "1:00 PM,a.exe,1,x,,SUCCESS,,2\r\n" + good,
       {3},
       {"Line 2 is not"}},
      {"unquoted line with a quote does not swallow what follows",
       "x\"y\r\n" + good + good,
       {3, 4},
       {"Line 2 is not"}},
      {"last line cut off inside a field", good + "\"t\",\"a", {2}, {"quote opened in line 3"}},
      {"quote open to the end: reading resumes at the next line",
       good + "\"a\",\"b\r\n" + good + good,
       {2, 4, 5},
       {"quote opened in line 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CapturedOutput().clear();
    ASSERT_EQ(Load(kHeader + c.body), CsvReadResult::kOk);
    std::vector<int64_t> lines;
    for (const ProcmonRow& row : Rows()) lines.push_back(row.OriginalLineNumber);
    EXPECT_EQ(lines, c.lines);
    size_t warnings = 0;
    for (size_t at = 0; (at = CapturedOutput().find("Warning: ", at)) != std::string::npos; ++at) {
      ++warnings;
    }
    EXPECT_EQ(warnings, c.warnings.size()) << CapturedOutput();
    for (const std::string& warning : c.warnings) {
      EXPECT_NE(CapturedOutput().find(warning), std::string::npos) << CapturedOutput();
    }
  }
  // What is not a Process Monitor header stays the format error.
  EXPECT_EQ(Load("a,b,c\r\n" + good), CsvReadResult::kUnknownFormat);
}

// A field that is not quoted is taken as it stands, doubled quotes and all; only a quoted
// field's doubled quotes stand for one.
TEST_F(CsvTest, UnquotedFieldKeepsItsDoubledQuotes) {
  ASSERT_EQ(Load(kHeader + "\"t\",a\"\"b,\"1\",\"x\",\"\",\"S\",\"c\"\"d\",\"2\"\r\n"),
            CsvReadResult::kOk);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Text(Rows()[0].ProcessName), "a\"\"b");
  EXPECT_EQ(Rows()[0].Detail, "c\"d");
}

// The log is read in stretches on several threads; however it is cut, the rows, their line
// numbers, text numbers and the long-path list are those of one reading from the top. The
// multi-line records hold lines that begin with a quote, so a stretch may begin inside one.
TEST_F(CsvTest, StretchesReadAsOneReadingWould) {
  std::string body =
      Row({"t1", "a.exe", "10", "ReadFile", "C:\\Dir\\One.txt", "SUCCESS", "x", "11"}) +
      "\"t2\",\"b.exe\",\"20\",\"WriteFile\",\"C:\\PROGRA~1\\b\",\"SUCCESS\",\"first\r\n"
      "\",\"\r\n"
      "\"\"quoted\"\" last\",\"21\"\r\n" +
      Row({"t3", "b.exe", "20", "RegQueryValue", "HKLM\\Soft", "NAME NOT FOUND", "", "21"}) +
      "\r\n" +  // an empty line
      "\"t4\",\"c.exe\",\"30\",\"Process Start\",\"c:\\dir\\one.txt\",\"SUCCESS\",\"\",\"31\"\r" +
      "\"t5\",\"a.exe\",\"10\",\"TCP Send\",\"C:\\KALVO_STOPS\",\"SUCCESS\",\"\",\"11\"\n\r" +
      Row({"", "kalvo-cpp.exe", "*1*", "Process Create", "", "SUCCESS", "PID: *2*", ""}) +
      "\"t6\",\"d.exe\",\"40\",\"Thread Create\",\"D:\\New\",\"SUCCESS\",\"\"\"\r\n"
      "\"\"\",\"41\"\n" +
      Row({"t7", "a.exe", "10", "ReadFile", "C:\\Dir\\Two.txt", "SUCCESS", "y", "11"}) +
      // Records the quick field splitter leaves to the general one: text after a closing
      // quote, an unquoted field, a trailing comma, too few fields; and fields it must
      // protect (an apostrophe, NUL).
      "\"t8\"x,\"e.exe\",\"50\",\"ReadFile\",\"C:\\it's\",\"SUCCESS\",\"\",\"51\"\r\n" +
      "\"t9\",e.exe,\"50\",\"ReadFile\",\"\",\"SUCCESS\",\"\",\"51\",\r\n" +
      "\"t10\",\"e.exe\",\"50\"\r\n" + "\"t11\",\"e'\",\"50\",\"Read" + std::string(1, '\0') +
      "File\",\"\",\"SUCCESS\",\"\",\"51\"\r\n" +
      "\"t12\"x\"y\",\"e.exe\",\"50\",\"ReadFile\",\"\",\"SUCCESS\",\"\",\"51\"\r\n";
  struct Case {
    const char* what;
    std::string log;
    CsvReadResult result;
  } cases[] = {
      {"good records", kHeader + body, CsvReadResult::kOk},
      {"cut-off last line", kHeader + body + "\"t8\",\"a", CsvReadResult::kOk},
      // Room for rows is judged from the first 64 KiB; here it has to grow a few times.
      {"long first record",
       kHeader + Row({"t0", "a", "1", "x", "", "S", std::string(70000, 'd'), "2"}) + body + body +
           body + body + body,
       CsvReadResult::kOk},
      {"unquoted record late in the log", kHeader + body + body + "t9,a\r\n" + body,
       CsvReadResult::kOk},
      {"quote open to the end of the file", kHeader + body + "\"a\",\"b\r\n" + body,
       CsvReadResult::kOk},
      {"stray lines", kHeader + body + ",,,,\r\n \t\r\n" + body + "\r\n\x1A", CsvReadResult::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CapturedOutput().clear();
    ASSERT_EQ(Load(c.log), c.result);
    std::string whole = ReadingAsText();
    std::string wholeOutput = CapturedOutput();
    if (c.result == CsvReadResult::kOk) {
      EXPECT_GT(Rows().size(), 5u);
    }
    for (size_t stretch : {1, 2, 3, 7, 16, 40, 100, 333}) {
      for (bool plainFields : {false, true}) {
        ResetConverterState();
        State().options = ParseModeString("lumivex");
        State().csv.m_text = DecodeLogText(c.log);
        CapturedOutput().clear();
        ASSERT_EQ(ReadProcmonCsv(stretch, plainFields), c.result) << stretch;
        if (c.result == CsvReadResult::kOk) {
          EXPECT_EQ(ReadingAsText(), whole) << stretch << " " << plainFields;
          EXPECT_EQ(CapturedOutput(), wholeOutput) << stretch << " " << plainFields;
        }
      }
    }
  }
}

// A mapped log is taken for UTF-8 unchecked and checked as it is read; what is not UTF-8 is
// decoded and read again, ending as if it had been decoded first.
TEST_F(CsvTest, UncheckedTextReadsAsDecodedText) {
  std::string body;
  for (int i = 0; i < 40; ++i) {
    body += Row({"t" + std::to_string(i), "caf\xC3\xA9.exe", "10", "ReadFile", "C:\\x", "SUCCESS",
                 "", "11"});
  }
  std::string late = body + Row({"t", "caf\xE9.exe", "10", "ReadFile", "C:\\y", "S", "", "11"});
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", kHeader + body},
      {"UTF-8 after a byte-order mark", "\xEF\xBB\xBF" + kHeader + body},
      {"ANSI in the last record", kHeader + late},
      {"ANSI in the header", kHeader.substr(0, kHeader.size() - 2) + ",\"Caf\xE9\"\r\n" + body},
      {"invalid after a byte-order mark", "\xEF\xBB\xBF" + kHeader + late},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Load(c.bytes), CsvReadResult::kOk);
    std::string decoded = ReadingAsText();
    for (size_t stretch : {0, 1, 100}) {
      ResetConverterState();
      State().options = ParseModeString("lumivex");
      State().csv.m_text = c.bytes;
      State().csv.m_text.SkipPrefix(Utf8Start(c.bytes));
      State().csv.m_text.MarkUnchecked();
      ASSERT_EQ(ReadProcmonCsv(stretch), CsvReadResult::kOk) << stretch;
      EXPECT_EQ(ReadingAsText(), decoded) << stretch;
    }
  }
}

TEST_F(CsvTest, DecodingFollowsTheByteOrderMarkOrTheContent) {
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF"
                          "a\xC3\xA9"),
            "a\xC3\xA9");
  EXPECT_EQ(DecodeLogText(std::string("\xFF\xFE"
                                      "a\0\xE9\0",
                                      6)),
            "a\xC3\xA9");
  EXPECT_EQ(DecodeLogText(std::string("a\0b\0", 4)), "ab");
  EXPECT_EQ(DecodeLogText("caf\xE9"), "caf\xC3\xA9");  // not UTF-8: the ANSI code page
}

// A large log's encoding is checked in slices whose bounds fall inside characters here
// (three bytes each); a fault anywhere, even across a bound, must still be seen.
TEST_F(CsvTest, LargeLogsAreJudgedWhole) {
  const std::string euro = "\xE2\x82\xAC";
  std::string valid;
  for (int i = 0; i < 9'000'000; ++i) valid += euro;  // 27 MB
  struct Case {
    const char* what;
    std::string text;
    bool kept;
  };
  std::string cutLast = valid.substr(0, valid.size() - 1);
  std::string strayMiddle = valid;
  strayMiddle[strayMiddle.size() / 2 + 1] = 'x';
  std::string withBom = "\xEF\xBB\xBF" + valid;
  const Case cases[] = {
      {"valid", valid, true},
      {"last character cut", cutLast, false},
      {"continuation byte replaced mid-text", strayMiddle, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string decoded = DecodeLogText(c.text);
    EXPECT_EQ(decoded == c.text, c.kept);
    if (!c.kept) {
      EXPECT_GT(decoded.size(), c.text.size());  // read as the ANSI code page
    }
  }
  EXPECT_EQ(DecodeLogText(withBom), valid);
}

// Slice bounds are set by the count of slices; these counts put bounds inside three-byte
// characters, where each is moved back to the character's start. A fault is seen wherever
// it lies, also right at a bound.
TEST(Utf8Slices, BoundsInsideCharactersStillJudgeTheWholeText) {
  const std::string euro = "\xE2\x82\xAC";
  std::string valid = "ab";
  for (int i = 0; i < 100; ++i) valid += euro;
  std::string cutLast = valid.substr(0, valid.size() - 1);
  std::string strayAtBound = valid;
  strayAtBound[valid.size() / 7 * 3] = 'x';
  for (size_t slices : {1, 2, 7, 16, 299}) {
    SCOPED_TRACE(slices);
    EXPECT_TRUE(detail::IsValidUtf8InSlices(valid, slices));
    EXPECT_FALSE(detail::IsValidUtf8InSlices(cutLast, slices));
    EXPECT_FALSE(detail::IsValidUtf8InSlices(strayAtBound, slices));
  }
  // The bounds of 7 slices land inside characters, the faulty byte on the third of them.
  EXPECT_EQ(static_cast<unsigned char>(valid[valid.size() / 7]) & 0xC0, 0x80);
  EXPECT_EQ(static_cast<unsigned char>(valid[valid.size() / 7 * 3]) & 0xC0, 0x80);
}

// A reader thread that cannot get memory ends the run with the memory report, not with the
// report of an unhandled exception.
TEST(ReaderThreadsDeathTest, OutOfMemoryInAThreadIsTheMemoryReport) {
  EXPECT_EXIT(
      {
        tolvek::SetSyslogSink(
            [](int, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); });
        detail::RunOnThreads(64, [](size_t i) {
          if (i == 40) throw std::bad_alloc();
        });
      },
      ::testing::ExitedWithCode(1), "Not enough memory available to read the log!");
}

TEST_F(CsvTest, ForceAsciiReplacesWhatTheCodePageLacks) {
  ASSERT_EQ(Load(kHeader + Row({"t", "\xD7\xA9\xC3\xA9.exe", "1", "x", "", "S", "", "2"}),
                 "lumivex,forceascii"),
            CsvReadResult::kOk);
  EXPECT_EQ(Text(Rows()[0].ProcessName), "?\xC3\xA9.exe");
}

TEST_F(CsvTest, RowAsJsonEscapesItsStrings) {
  ASSERT_EQ(Load(kHeader + Row({"t", "a\\b", "1", "x", "p", "S", "say \"\"hi\"\"", "2"})),
            CsvReadResult::kOk);
  std::string json = RowAsJson(Rows()[0]);
  EXPECT_NE(json.find("\"OriginalLineNumber\": 2"), std::string::npos);
  EXPECT_NE(json.find("\"ProcessName\": \"a\\\\b\""), std::string::npos);
  EXPECT_NE(json.find("\"Detail\": \"say \\\"hi\\\"\""), std::string::npos);
}

}  // namespace
}  // namespace evtweave::testing
