#include "tolvek/memory_string.h"

#include <gtest/gtest.h>
#include <pcre.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

using namespace std::string_literals;

const std::string kUtf16Mark = "\xFF\xFE";

// A library block holding exactly these bytes, so the default size is theirs.
MemoryPtr MakeBlock(std::string_view bytes) {
  MemoryPtr block(AllocateMemoryWithCheck(static_cast<int64_t>(bytes.size()), kMemoryNoClear));
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return block;
}

struct Line {
  std::string text;
  std::string marker;
  bool operator==(const Line&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << ::testing::PrintToString(l.text) << "/" << ::testing::PrintToString(l.marker);
}

// Every line up to the end, with the marker left after each.
std::vector<Line> ReadAll(const void* memory) {
  std::vector<Line> lines;
  while (!EOM(memory) && lines.size() < 100) {
    std::string text = ReadMemoryString(memory);
    lines.push_back({text, ReadMemoryStringEndMarker()});
  }
  return lines;
}

std::vector<Line> ReadAllOf(std::string_view bytes, int format) {
  MemoryPtr block = MakeBlock(bytes);
  EXPECT_TRUE(OpenMemoryString(block.get(), kMemoryStringDefault, format));
  std::vector<Line> lines = ReadAll(block.get());
  EXPECT_EQ(MemoryStringLoc(block.get()), static_cast<int64_t>(bytes.size()));
  CloseMemoryString(block.get());
  return lines;
}

TEST(MemoryString, LineTerminatorsAndTheirMarkers) {
  struct Case {
    std::string bytes;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"a\r\nb", {{"a", "\r\n"}, {"b", ""}}},
      {"a\n\rb", {{"a", "\n\r"}, {"b", ""}}},
      {"a\r\rb", {{"a", "\r"}, {"", "\r"}, {"b", ""}}},
      {"a\n\nb", {{"a", "\n"}, {"", "\n"}, {"b", ""}}},
      {"a\r\n\n\rb", {{"a", "\r\n"}, {"", "\n\r"}, {"b", ""}}},
      {"a\n", {{"a", "\n"}}},
      {"a\r\n\r\n", {{"a", "\r\n"}, {"", "\r\n"}}},
      {"\n", {{"", "\n"}}},
      {"x", {{"x", ""}}},
      // A zero cuts its line; the next read still starts after the terminator.
      {"ab\0cd\r\nef"s, {{"ab", "\r\n"}, {"ef", ""}}},
      {"\0\n\0"s, {{"", "\n"}, {"", ""}}},
  };
  for (const Case& c : cases) {
    for (int format : {kFormatAnsi, kFormatUtf8}) {
      EXPECT_EQ(ReadAllOf(c.bytes, format), c.lines)
          << ::testing::PrintToString(c.bytes) << " format " << format;
    }
  }
}

// The scanner works in 16- and 32-byte strides: every offset of the terminator, of a zero
// byte and of a non-ASCII byte must land the same.
void ReadLinesOfEveryLength() {
  for (size_t length = 0; length < 70; ++length) {
    std::string line(length, 'x');
    for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);
    std::string accented = line;
    if (length > 0) accented.replace(length / 2, 1, "\xC3\xA4");  // ä
    std::string zeroed = line;
    if (length > 0) zeroed[length - 1] = '\0';
    std::string bytes = line + "\r\n" + accented + "\n" + line + "\t\x01" + "\r" + "z" + line +
                        "\n" + zeroed + "\n";
    std::vector<Line> expected = {{line, "\r\n"},
                                  {accented, "\n"},
                                  {line + "\t\x01", "\r"},
                                  {"z" + line, "\n"},
                                  {zeroed.substr(0, length ? length - 1 : 0), "\n"}};
    ASSERT_EQ(ReadAllOf(bytes, kFormatUtf8), expected) << "length " << length;
  }
}

// Runs body once for each width of the line scanner this machine has.
template <class Body>
void ForEachScanWidth(Body body) {
  for (int level : {2, 1, 0}) {
    SCOPED_TRACE("scan level " + std::to_string(level));
    detail::LimitLineScan(level);
    body();
  }
  detail::LimitLineScan(2);
}

TEST(MemoryString, LinesOfEveryLengthAcrossScanStrides) {
  ForEachScanWidth([] { ReadLinesOfEveryLength(); });
}

TEST(MemoryString, Utf8SequencesStayWholeAndNeverSwallowLineBreaks) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"valid", "\xE2\x82\xAC x\r\n\xF0\x9F\x98\x80", {{"€ x", "\r\n"}, {"😀", ""}}},
      {"stray lead before LF", "a\xE2\nb", {{"a\uFFFD", "\n"}, {"b", ""}}},
      {"stray lead before CR LF", "a\xE2\x82\r\nb", {{"a\uFFFD", "\r\n"}, {"b", ""}}},
      {"lead before ASCII", "a\xF0xyz\n", {{"a\uFFFDxyz", "\n"}}},
      {"invalid bytes", "\xFF\xC0\xAF|\x80\n", {{"\uFFFD\uFFFD\uFFFD|\uFFFD", "\n"}}},
      {"cut short at the end", "ab\xE2\x82", {{"ab", ""}}},
      {"cut short, four bytes", "ab\xF0\x9F\x98", {{"ab", ""}}},
      {"cut short after a whole one", "\xC3\xA4\xE2", {{"ä", ""}}},
      {"cut short alone after the last line", "a\r\n\xE2\x82", {{"a", "\r\n"}}},
      {"complete at the end", "a\n\xC3\xA4", {{"a", "\n"}, {"ä", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAllOf(c.bytes, kFormatUtf8), c.lines) << c.name;
}

// Valid lines are copied as they stand and only invalid ones repaired, so the validity check
// must agree with the codec on every sequence, wherever it falls in a 16-byte block.
TEST(MemoryString, Utf8LinesMatchTheCodecsRepair) {
  std::vector<std::string> samples;
  for (int a = 0x80; a < 0x100; ++a) {
    samples.push_back({static_cast<char>(a)});
    for (int b = 0x20; b < 0x100; ++b)
      samples.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  const unsigned char interesting[] = {0x20, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                       0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED,
                                       0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
  std::mt19937 random(7);
  for (int i = 0; i < 60000; ++i) {
    std::string text;
    int length = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < length; ++k) {
      text.push_back(static_cast<char>(interesting[random() % sizeof(interesting)]));
    }
    samples.push_back(text);
  }
  std::string bytes;
  std::vector<std::string> expected;
  for (size_t i = 0; i < samples.size(); ++i) {
    std::string line = std::string(i % 41, 'x') + samples[i] + std::string(i % 29, 'y');
    bytes += line + "\n";
    expected.push_back(SanitizeUtf8(line));
  }
  MemoryPtr block = MakeBlock(bytes);
  ForEachScanWidth([&] {
    ASSERT_TRUE(OpenMemoryString(block.get(), kMemoryStringDefault, kFormatUtf8));
    for (const std::string& line : expected) {
      ASSERT_EQ(ReadMemoryString(block.get()), line);
    }
    EXPECT_TRUE(EOM(block.get()));
    CloseMemoryString(block.get());
  });
}

TEST(MemoryString, AnsiAndUnknownFormatsReadAsWindows1252) {
  for (int format : {int{kFormatAnsi}, 0, 7}) {
    EXPECT_EQ(ReadAllOf("\xE4\x80\n\xE2\x82", format),
              (std::vector<Line>{{"ä€", "\n"}, {"\xC3\xA2\xE2\x80\x9A", ""}}))
        << format;
  }
}

TEST(MemoryString, Utf16UnitsEndLinesOnlyAsWholeUnits) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"CR LF and LF CR", "a\0\r\0\n\0b\0\n\0\r\0c\0"s, {{"a", "\r\n"}, {"b", "\n\r"}, {"c", ""}}},
      {"U+010D and U+0A0D are no breaks", "\x0D\x01\x0D\x0A\n\0"s, {{"č\u0A0D", "\n"}}},
      {"odd size, no break", "a\0b\0X"s, {{"ab", ""}}},
      {"odd size after the last line", "a\0\n\0X"s, {{"a", "\n"}}},
      {"zero unit", "a\0\0\0b\0\n\0c\0"s, {{"a", "\n"}, {"c", ""}}},
      {"a zero byte alone is no zero unit", "\0\x01\n\0"s, {{"\u0100", "\n"}}},
      {"surrogates", "\x3D\xD8\x00\xDE\n\0\x3D\xD8"s, {{"😀", "\n"}, {"\uFFFD", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAllOf(c.bytes, kFormatUtf16), c.lines) << c.name;

  // Breaks at every unit offset across the scanner's strides.
  for (size_t units = 0; units < 20; ++units) {
    std::string line(units, 'q');
    std::string bytes = Utf8ToUtf16Le(line + "\r\nz" + line);
    ASSERT_EQ(ReadAllOf(bytes, kFormatUtf16), (std::vector<Line>{{line, "\r\n"}, {"z" + line, ""}}))
        << units;
  }
}

TEST(MemoryString, ByteOrderMarksAgainstGivenFormats) {
  struct Case {
    std::string bytes;
    int format;  // given to OpenMemoryString
    int64_t start;
    std::string firstLine;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFx\n", kMemoryStringDefault, 3, "x"},
      {"\xEF\xBB\xBFx\n", kFormatAnsi, 0, "ï»¿x"},
      {"\xEF\xBB\xBF\xC3\xA4", kMemoryStringDefault, 3, "ä"},
      {kUtf16Mark + "a\0\n\0"s, kMemoryStringDefault, 2, "a"},
      {kUtf16Mark + "a\0\n\0"s, kFormatUtf8, 0, "\uFFFD\uFFFDa"},
      // The four-byte mark wins over the two-byte one it begins with.
      {"\xFF\xFE\0\0a\0"s, kMemoryStringDefault, 4, "a"},
      {"\xFE\xFF\0a"s, kMemoryStringDefault, 2, ""},
      {"\0\0\xFE\xFF"s, kMemoryStringDefault, 4, ""},
      {"+/v8xyz", kMemoryStringDefault, 4, "xyz"},
      {"+/v/xyz", kMemoryStringDefault, 4, "xyz"},
      {"+/v0xyz", kMemoryStringDefault, 0, "+/v0xyz"},
      {"\xF7\x64\x4Cxyz", kMemoryStringDefault, 3, "xyz"},
      {"\x84\x31\x95\x33xyz", kMemoryStringDefault, 4, "xyz"},
  };
  for (const Case& c : cases) {
    MemoryPtr block = MakeBlock(c.bytes);
    ASSERT_TRUE(OpenMemoryString(block.get(), kMemoryStringDefault, c.format));
    EXPECT_EQ(MemoryStringLoc(block.get()), c.start) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(ReadMemoryString(block.get()), c.firstLine) << ::testing::PrintToString(c.bytes);
    CloseMemoryString(block.get());
  }
}

TEST(MemoryString, FormatDetection) {
  struct Case {
    std::string bytes;
    int expected;
  };
  const Case cases[] = {
      {"a", kFormatUtf16},
      {"\xEF\xBB\xBF", kFormatUtf8},
      {"\xEF\xBB", kFormatAnsi},
      {"\xFF\xFE", kFormatUtf16},
      {"a\0b\0"s, kFormatUtf16},
      {"\0\0"s, kFormatUtf16},
      {"a\0b"s, kFormatAnsi},
      {"plain ascii text\r\n", kFormatAnsi},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>", kFormatUtf8},
      {"Content-Type: text/html; charset = utf-8", kFormatUtf8},
      // The charset test ends at the first zero byte.
      {"x\0charset=utf-8"s, kFormatAnsi},
  };
  for (const Case& c : cases) {
    MemoryPtr block = MakeBlock(c.bytes);
    EXPECT_EQ(DetectStringFormat4MemoryString(block.get()), c.expected)
        << ::testing::PrintToString(c.bytes);
  }
  // Only the bytes asked about count.
  MemoryPtr block = MakeBlock("encoding=utf-8\0\0"s);
  EXPECT_EQ(DetectStringFormat4MemoryString(block.get(), 14), kFormatUtf8);
  EXPECT_EQ(DetectStringFormat4MemoryString(block.get(), 5), kFormatAnsi);
  EXPECT_EQ(DetectStringFormat4MemoryString(block.get()), kFormatUtf16);
  EXPECT_EQ(DetectStringFormat4MemoryString(nullptr), kFormatUtf16);
}

TEST(MemoryString, DetectedFormatDecodesTheLines) {
  EXPECT_EQ(ReadAllOf("encoding=\"UTF-8\"\n\xC3\xA4", kMemoryStringDefault),
            (std::vector<Line>{{"encoding=\"UTF-8\"", "\n"}, {"ä", ""}}));
  EXPECT_EQ(ReadAllOf("x\n\xC3\xA4", kMemoryStringDefault),
            (std::vector<Line>{{"x", "\n"}, {"Ã¤", ""}}));
  EXPECT_EQ(ReadAllOf("x\0\n\0y\0"s, kMemoryStringDefault),
            (std::vector<Line>{{"x", "\n"}, {"y", ""}}));
}

TEST(MemoryString, UnknownClosedAndEmptyBlocksReadAsEmpty) {
  MemoryPtr block = MakeBlock("one\ntwo\n");
  EXPECT_FALSE(OpenMemoryString(nullptr));
  EXPECT_TRUE(EOM(block.get()));
  EXPECT_EQ(ReadMemoryString(block.get()), "");
  EXPECT_EQ(MemoryStringLoc(block.get()), 0);

  ASSERT_TRUE(OpenMemoryString(block.get()));
  EXPECT_EQ(ReadMemoryString(block.get()), "one");
  EXPECT_EQ(MemoryStringLoc(block.get()), 4);
  // Opening again starts over.
  ASSERT_TRUE(OpenMemoryString(block.get()));
  EXPECT_EQ(ReadMemoryString(block.get()), "one");
  CloseMemoryString(block.get());
  EXPECT_TRUE(EOM(block.get()));
  EXPECT_EQ(MemoryStringLoc(block.get()), 0);
  EXPECT_EQ(ReadMemoryString(block.get()), "");
  EXPECT_EQ(ReadMemoryStringEndMarker(), "");

  // An explicit size bounds the text; size 0 is at its end at once.
  ASSERT_TRUE(OpenMemoryString(block.get(), 6, kFormatAnsi));
  EXPECT_EQ(ReadAll(block.get()), (std::vector<Line>{{"one", "\n"}, {"tw", ""}}));
  ASSERT_TRUE(OpenMemoryString(block.get(), 0));
  EXPECT_TRUE(EOM(block.get()));
  EXPECT_EQ(ReadMemoryString(block.get()), "");
  CloseMemoryString(block.get());
}

TEST(MemoryString, ThreadsReadTheirOwnBlocksAndMarkers) {
  constexpr int kLines = 2000;
  struct Reader {
    std::string terminator;
    MemoryPtr block;
    int lines = 0;
    bool markersRight = true;
  };
  std::vector<Reader> readers;
  for (const char* terminator : {"\r\n", "\n", "\r", "\n\r"}) {
    std::string bytes;
    for (int i = 0; i < kLines; ++i) bytes += "line " + std::to_string(i) + terminator;
    readers.push_back({terminator, MakeBlock(bytes)});
  }
  std::vector<std::thread> threads;
  for (Reader& r : readers) {
    threads.emplace_back([&r] {
      OpenMemoryString(r.block.get(), kMemoryStringDefault, kFormatUtf8);
      while (!EOM(r.block.get())) {
        std::string line = ReadMemoryString(r.block.get());
        r.markersRight &= line == "line " + std::to_string(r.lines) &&
                          ReadMemoryStringEndMarker() == r.terminator;
        ++r.lines;
      }
      CloseMemoryString(r.block.get());
    });
  }
  for (std::thread& t : threads) t.join();
  for (const Reader& r : readers) {
    EXPECT_EQ(r.lines, kLines) << ::testing::PrintToString(r.terminator);
    EXPECT_TRUE(r.markersRight) << ::testing::PrintToString(r.terminator);
  }
}

// The bytes gzip -dc writes for a file; "" when it cannot run.
std::string Gunzip(const std::string& path) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::string arg0 = "gzip", arg1 = "-dc";
  char* argv[] = {arg0.data(), arg1.data(), const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "gzip", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buf[65536];
  ssize_t n;
  while (rc == 0 && (n = read(fds[0], buf, sizeof(buf))) > 0)
    out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  if (rc == 0) waitpid(pid, nullptr, 0);
  return out;
}

// Real exports: byte-order mark, LF or CR LF, Hebrew names, fields of 4,095 characters.
// Read as the converter reads them, they must split exactly where the bytes say.
TEST(MemoryString, RealLogsSplitWhereTheirBytesSay) {
  const std::string data = std::string(LUMIVEX_SHARED_DATA) + "/procmon/";
  if (!std::filesystem::is_directory(data)) {
    GTEST_SKIP() << "no real logs at " << data << " (the shared data folder beside the clone)";
  }
  for (const char* name :
       {"noriben_sample_no_tid.csv", "CompressedLogFileUTC32Filesystem.csv.gz"}) {
    SCOPED_TRACE(name);
    std::string path = data + name;
    MemoryPtr block;
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
      std::string unpacked = Gunzip(path);
      ASSERT_FALSE(unpacked.empty()) << "gzip -dc " << path << " gave nothing";
      block = MakeBlock(unpacked);
    } else {
      block.reset(ReadFile2Memory(path));
    }
    ASSERT_NE(block, nullptr) << "no data at " << path;
    std::string bytes(static_cast<const char*>(block.get()), MemorySize(block.get()));
    ASSERT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
    std::vector<Line> expected;
    for (size_t at = 3; at < bytes.size();) {
      size_t lf = bytes.find('\n', at);
      size_t end = lf == std::string::npos ? bytes.size() : lf;
      bool crlf = end > at && bytes[end - 1] == '\r';
      std::string marker = crlf ? "\r\n" : "\n";
      if (lf == std::string::npos) marker.clear();
      expected.push_back({bytes.substr(at, end - at - crlf), marker});
      at = end + 1;
    }
    ASSERT_TRUE(OpenMemoryString(block.get()));
    std::vector<Line> lines;
    while (!EOM(block.get())) {
      std::string text = ReadMemoryString(block.get());
      lines.push_back({text, ReadMemoryStringEndMarker()});
    }
    CloseMemoryString(block.get());
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_TRUE(lines == expected);
    EXPECT_EQ(lines.front().text.substr(0, 13), "\"Time of Day\"");
  }
}

// The charset test looks at bytes; it must agree with the case-insensitive expression
// over the same text decoded from the ANSI code page up to its first zero.
class CharsetExpression {
 public:
  CharsetExpression() {
    const char* error = nullptr;
    int offset = 0;
    m_code =
        pcre_compile("(charset\\s*=\\s*\"{0,1}UTF-8\"{0,1}|encoding\\s*=\\s*\"{0,1}UTF-8\"{0,1})",
                     PCRE_UTF8 | PCRE_CASELESS, &error, &offset, nullptr);
  }
  ~CharsetExpression() { pcre_free(m_code); }
  bool Matches(std::string_view bytes) const {
    std::string text = AnsiToUtf8(bytes.substr(0, bytes.find('\0')));
    int ovector[30];
    return pcre_exec(m_code, nullptr, text.data(), static_cast<int>(text.size()), 0, 0, ovector,
                     30) >= 0;
  }
  bool ok() const { return m_code != nullptr; }

 private:
  pcre* m_code = nullptr;
};

TEST(MemoryString, CharsetTestAgreesWithTheExpression) {
  CharsetExpression expression;
  ASSERT_TRUE(expression.ok());
  struct Case {
    std::string bytes;
    bool expected;
  };
  const Case cases[] = {
      {"charset=utf-8", true},
      {"<meta charset=\"utf-8\">", true},
      {"ENCODING = \"Utf-8\"", true},
      {"xcharset\t\v\f\r\n=\r\n utf-8x", true},
      {"charset= \"utf-8", true},
      {"charset=\" utf-8", false},
      {"charset=\"\"utf-8", false},
      {"charset=utf8", false},
      {"charset=utf-16", false},
      {"charset:utf-8", false},
      {"char set=utf-8", false},
      {"charset\xA0=utf-8", false},
      {"charset=\xA0utf-8", false},
      {"charset=\x85utf-8", false},
      {"charset==utf-8", false},
      {"charse=utf-8 encoding=utf-8", true},
      {"charset=utf-", false},
      {"charset=utf\0-8"s, false},
      {"", false},
      {"=utf-8", false},
      {"encoding=", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expression.Matches(c.bytes), c.expected) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(DeclaresUtf8Charset(c.bytes.data(), c.bytes.size()), c.expected)
        << ::testing::PrintToString(c.bytes);
  }

  // Random texts from the pieces a declaration is made of, and from bytes that resemble
  // them in some code page or case mapping.
  const std::vector<std::string> pieces = {
      "charset", "CHARSET", "encoding", "EnCoDiNg", "charse", "ncoding", "=",    "=",
      "\"",      "\"",      "utf-8",    "UTF-8",    "utf-",   "utf",     "-8",   " ",
      "\t",      "\v",      "\f",       "\r",       "\n",     "\xA0",    "\x85", "\x8A",
      "\x9A",    "\xDF",    "\xC5\xBF", "\0"s,      "x",      "s",       "8"};
  std::mt19937 random(20240611);
  int matches = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    int count = 1 + static_cast<int>(random() % 8);
    for (int k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
    bool expected = expression.Matches(text);
    matches += expected;
    ASSERT_EQ(DeclaresUtf8Charset(text.data(), text.size()), expected)
        << ::testing::PrintToString(text);
  }
  EXPECT_GT(matches, 20);  // the walk did reach the interesting cases
}

}  // namespace
}  // namespace tolvek
