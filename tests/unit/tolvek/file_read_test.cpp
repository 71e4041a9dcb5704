#include "tolvek/file_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "syslog_capture.h"
#include "tolvek/memory.h"

namespace tolvek {
namespace {

using namespace std::string_literals;

const std::string kUtf16Mark = "\xFF\xFE";

class FileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/file_read_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string Write(const std::string& name, std::string_view bytes) {
    std::string path = m_dir + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::string m_dir;
};

TEST_F(FileRead, MarksHintsAndCharsetDeclarationsChooseTheDecoding) {
  struct Case {
    const char* name;
    std::string bytes;
    int format;
    std::string text;
  };
  const Case cases[] = {
      {"mark only", "\xEF\xBB\xBF", 0, ""},
      {"UTF-8 mark", "\xEF\xBB\xBF\xC3\xA4\r\n\xFF", 24, "ä\r\n\uFFFD"},
      {"declared UTF-8", "<meta charset=\"utf-8\">\xC3\xA4", 0, "<meta charset=\"utf-8\">ä"},
      {"undeclared", "<meta>\xC3\xA4", 0, "<meta>Ã¤"},
      {"hint skips the charset test", "encoding=UTF-8 \xC3\xA4", 24, "encoding=UTF-8 Ã¤"},
      {"hint UTF-8", "\xC3\xA4\xE2\x82", 2, "ä\uFFFD"},
      {"unknown hint reads as ANSI", "charset=utf-8 \xC3\xA4", 7, "charset=utf-8 Ã¤"},
      {"UTF-16 mark beats the hint", kUtf16Mark + "a\0\xE4\0"s, 2, "aä"},
      {"UTF-16 hint", "a\0\x0D\x01"s, 25, "ač"},
      {"UTF-16 drops half a unit", kUtf16Mark + "a\0b"s, 0, "a"},
      {"UTF-16 zero unit", kUtf16Mark + "a\0\0\0b\0"s, 0, "a"},
      {"UTF-16 zero byte in a unit", kUtf16Mark + "\0\x01"s, 0, "\u0100"},
      {"UTF-32 mark: no format", "\xFF\xFE\0\0charset=utf-8\xC3\xA4"s, 25, "charset=utf-8ä"},
      {"UTF-16BE mark: no format",
       "\xFE\xFF"
       "charset=utf-8\xC3\xA4"s,
       24, "charset=utf-8ä"},
      {"zero byte", "ab\0cd"s, 0, "ab"},
      {"zero byte hides the declaration", "ab\0charset=utf-8\xC3\xA4"s, 0, "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadFile2String(Write("t", c.bytes), c.format), c.text) << c.name;
  }
}

TEST_F(FileRead, MemoryHoldsExactlyTheFileBytes) {
  const std::string bytes = "0123\0\xFF\r\n89"s;
  void* block = ReadFile2Memory(Write("ten", bytes));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(MemorySize(block), 10);
  EXPECT_EQ(std::memcmp(block, bytes.data(), 10), 0);
  FreeMemory(block);
}

TEST_F(FileRead, RawBytesAreTheFileOrNothing) {
  const std::string bytes = "a\0b\r\n\xFF\xFE"s + std::string(70000, 'x');
  EXPECT_EQ(ReadFileBytes(Write("raw", bytes)), bytes);
  EXPECT_EQ(ReadFileBytes(Write("empty", "")), "");
  // A file that has no size to go by is read to its end.
  EXPECT_FALSE(ReadFileBytes("/proc/self/comm").value_or("").empty());
  EXPECT_EQ(ReadFileBytes(m_dir + "/missing"), std::nullopt);
  EXPECT_EQ(ReadFileBytes(m_dir), std::nullopt);
}

// The limit is the largest size read, for a file with a size and one read to its end alike.
TEST_F(FileRead, RawBytesUpToTheLimitAreRead) {
  const std::string sized = Write("sized", std::string(4096, 'x'));
  const std::string unsized = "/proc/self/cmdline";
  const std::string arguments = ReadFileBytes(unsized).value_or("");
  ASSERT_FALSE(arguments.empty());
  for (const std::string& path : {sized, unsized}) {
    SCOPED_TRACE(path);
    const std::string whole = ReadFileBytes(path).value_or("");
    const auto size = static_cast<int64_t>(whole.size());
    EXPECT_EQ(ReadFileBytes(path, size), whole);
    EXPECT_EQ(ReadFileBytes(path, size - 1), std::nullopt);
  }
}

TEST_F(FileRead, EmptyFilesAreEmptyWithoutWarning) {
  testing::SyslogCapture capture;
  std::string path = Write("empty", "");
  EXPECT_EQ(ReadFile2Memory(path), nullptr);
  EXPECT_EQ(ReadFile2String(path), "");
  EXPECT_TRUE(capture.events().empty());
}

TEST_F(FileRead, UnreadableFilesGiveOneWarningEach) {
  // A folder opens but cannot be read: an I/O error counts as unreadable.
  for (const std::string& path : {m_dir + "/missing", m_dir}) {
    {
      testing::SyslogCapture capture;
      EXPECT_EQ(ReadFile2Memory(path), nullptr);
      ASSERT_EQ(capture.events().size(), 1u) << path;
      EXPECT_EQ(capture.events()[0].type, kSyslogWarning);
      EXPECT_EQ(capture.events()[0].lines,
                std::vector<std::string>{"ReadFile(#ZEM_Any, \"" + path +
                                         "\") failed! (Callstack: ReadFile2Memory())"});
    }
    testing::SyslogCapture capture;
    EXPECT_EQ(ReadFile2String(path), "");
    ASSERT_EQ(capture.events().size(), 1u) << path;
    EXPECT_EQ(capture.events()[0].lines,
              std::vector<std::string>{"ReadFile(#ZEM_Any, \"" + path +
                                       "\") failed! (Callstack: ReadFile2String())"});
  }
}

// One read(2) call stops short of 2 GiB; the file must still arrive whole. A sparse file
// costs no disk, only the memory of the block.
TEST_F(FileRead, FilesBeyondTwoGibibytesArriveWhole) {
  constexpr int64_t kSize = (int64_t{2} << 30) + 4097;
  long pages = sysconf(_SC_AVPHYS_PAGES);
  if (pages > 0 && static_cast<int64_t>(pages) * sysconf(_SC_PAGESIZE) < 3 * kSize) {
    GTEST_SKIP() << "not enough free memory";
  }
  std::string path = Write("big", "head");
  ASSERT_EQ(truncate(path.c_str(), kSize - 4), 0);
  std::ofstream(path, std::ios::binary | std::ios::app).write("tail", 4);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  ASSERT_EQ(st.st_size, kSize);

  void* block = ReadFile2Memory(path);
  ASSERT_NE(block, nullptr);
  const auto* bytes = static_cast<const char*>(block);
  EXPECT_EQ(MemorySize(block), kSize);
  EXPECT_EQ(std::string(bytes, 4), "head");
  EXPECT_EQ(bytes[kSize / 2], '\0');
  EXPECT_EQ(std::string(bytes + kSize - 4, 4), "tail");
  FreeMemory(block);
}

}  // namespace
}  // namespace tolvek
