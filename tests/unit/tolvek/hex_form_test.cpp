#include "tolvek/hex_form.h"

#include <gtest/gtest.h>

#include <string>

#include "tolvek/memory.h"

namespace tolvek {
namespace {

TEST(HexForm, BothFlavoursRoundTrip) {
  struct Case {
    std::string text;
    std::string unicode;
    std::string ansi;
  };
  const Case cases[] = {
      {"", "0000", ""},
      {"AB", "000041004200", "4142"},
      {"\n", "00000A00", "0A"},
      {"\xC3\xA9", "0000E900", "E9"},              // é, one byte in the ANSI code page
      {"\xF0\x9F\x98\x80", "00003DD800DE", "3F"},  // outside the BMP: a surrogate pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(HexifyString(c.text, true), c.unicode);
    EXPECT_EQ(HexifyString(c.text, false), c.ansi);
    EXPECT_EQ(UnHexifyString(c.unicode), c.text);
  }
  EXPECT_EQ(UnHexifyString("4142"), "AB");
  EXPECT_EQ(UnHexifyString("0000"), "");
  EXPECT_EQ(UnHexifyString(""), "");
  // A Unicode form with an odd digit after "0000" loses it.
  EXPECT_EQ(UnHexifyString("0000410042000"), "AB");
  // An ANSI form ends at its first zero byte.
  EXPECT_EQ(UnHexifyString("41004200"), "A");
}

TEST(HexForm, DataDecodesByDigitArithmetic) {
  unsigned char bytes[] = {0x00, 0x0A, 0xFF};
  EXPECT_EQ(HexifyData(bytes, 3), "000AFF");
  EXPECT_EQ(HexifyData(nullptr, 3), "");
  EXPECT_EQ(UnHexifyData("A"), nullptr);
  MemoryPtr block(UnHexifyData("0aFF7"));
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(MemorySize(block.get()), 2);
  auto* p = static_cast<unsigned char*>(block.get());
  // Lower-case digits are not hex digits here: "a" counts as 97 - 55.
  EXPECT_EQ(p[0], (0 * 16 + (97 - 55)) % 256);
  EXPECT_EQ(p[1], 0xFF);
  MemoryPtr whole(UnHexifyData("DEAD"));
  EXPECT_EQ(HexifyData(whole.get()), "DEAD");
}

}  // namespace
}  // namespace tolvek
