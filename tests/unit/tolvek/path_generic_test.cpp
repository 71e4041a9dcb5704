#include "tolvek/path_generic.h"

#include <gtest/gtest.h>

#include <string>

#include "tolvek/memory.h"

namespace tolvek {
namespace {

TEST(PathGeneric, SplitsPathsOfEitherOrigin) {
  struct Case {
    std::string path;
    int origin;
    std::string file;
    std::string folder;         // separators kept
    std::string windowsFolder;  // separators not kept
  };
  const Case cases[] = {
      {"C:\\a\\b", kPathOriginWindows, "b", "C:\\a\\", "C:\\a\\"},
      {"C:\\x\\y.exe", kPathOriginWindows, "y.exe", "C:\\x\\", "C:\\x\\"},
      {"/usr/lib/x", kPathOriginUnix, "x", "/usr/lib/", "\\usr\\lib\\"},
      {"/home/u/a\\b.txt", kPathOriginUnix, "a\\b.txt", "/home/u/", "\\home\\u\\"},
      {"/home/u\\v/file", kPathOriginUnix, "file", "/home/u\\v/", "\\home\\u_v\\"},
      {"name", kPathOriginNone, "name", "", ""},
      {"C:/a\\b", kPathOriginWindows, "b", "C:/a\\", "C:/a\\"},
      {"a/b\\c", kPathOriginUnix, "b\\c", "a/", "a\\"},
      {"a\\b/c", kPathOriginWindows, "c", "a\\b/", "a\\b/"},
      {"", kPathOriginNone, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(DetectPathOrigin(c.path), c.origin);
    EXPECT_EQ(GetFilePartGeneric(c.path), c.file);
    EXPECT_EQ(GetPathPartGeneric(c.path, true), c.folder);
    EXPECT_EQ(GetPathPartGeneric(c.path, false), c.windowsFolder);
  }
}

TEST(PathGeneric, StringFieldsAndBlocks) {
  EXPECT_EQ(MyStringField("a::b::c", 2, "::"), "b");
  EXPECT_EQ(MyStringField("a::b::c", 3, "::"), "c");
  EXPECT_EQ(MyStringField("a::b::c", 4, "::"), "");
  EXPECT_EQ(MyStringField("a::b", 0, "::"), "");
  EXPECT_EQ(MyStringField(":a:", 1, ":"), "");

  EXPECT_EQ(AllocateMemoryFromString("", true), nullptr);
  MemoryPtr ascii(AllocateMemoryFromString("A\xC3\xA9", true));
  ASSERT_EQ(MemorySize(ascii.get()), 2);
  EXPECT_EQ(static_cast<unsigned char*>(ascii.get())[1], 0xE9);
  MemoryPtr wide(AllocateMemoryFromString("AB", false));
  ASSERT_EQ(MemorySize(wide.get()), 4);
  EXPECT_EQ(std::string(static_cast<char*>(wide.get()), 4), std::string("A\0B\0", 4));

  const unsigned char utf8[] = {0xEF, 0xBB, 0xBF, 'x'};
  const unsigned char utf16[] = {0xFF, 0xFE, 'x', 0};
  EXPECT_EQ(GetBomLength4MemoryString(utf8, 4), 3);
  EXPECT_EQ(GetBomLength4MemoryString(utf8, 2), 0);
  EXPECT_EQ(GetBomLength4MemoryString(utf16, 4), 2);
  EXPECT_EQ(GetBomLength4MemoryString(utf8 + 3, 1), 0);
  EXPECT_EQ(GetBomLength4MemoryString(nullptr), 0);
}

TEST(PathGeneric, ProgramOutputWithItsErrors) {
  std::string out = RunProgramAndOutput2String(
      "/bin/sh", {"-c", "printf 'out\\n'; printf 'bad\\r\\n' >&2"}, "", true, 2);
  EXPECT_EQ(out,
            "out\n\x01"
            "bad\n");
  EXPECT_EQ(RunProgramAndOutput2String("/bin/sh", {"-c", "printf 'out'"}, "", false, 2), "out");
  EXPECT_EQ(RunProgramAndOutput2String("/no/such/program", {}, "", true, 2), "");
}

}  // namespace
}  // namespace tolvek
