#include "tolvek/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VisibleText, HiddenAndReorderingCharactersAreWrittenOut) {
  struct Case {
    std::string text, shown;
  };
  const Case cases[] = {
      {"invoice\u202Eexe.txt", "invoice_0x202E_exe.txt"},
      {"a\r\nb.exe", "a_0x0D__0x0A_b.exe"},
      {std::string("\x1B[2Jx\x07y\x7F", 8), "_0x1B_[2Jx_0x07_y_0x7F_"},
      {std::string("nul\0end", 7), "nul_0x00_end"},
      {"tab\there", "tab_0x09_here"},
      {"c1\u0085\u009F", "c1_0x85__0x9F_"},
      {"\u061C\u200E\u200F\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069",
       "_0x061C__0x200E__0x200F__0x202A__0x202B__0x202C__0x202D__0x2066__0x2067__0x2068__0x2069_"},
      // Neighbours of the hidden ones stay: letters, the zero-width joiner, U+00A0, U+2070.
      {"ok \u00e4\u00A0\u200D\u2029\u206A\u2070\u0600 \U0001F600",
       "ok \u00e4\u00A0\u200D\u2029\u206A\u2070\u0600 \U0001F600"},
      // Cut or invalid sequences stay as they are.
      {"cut\xE2\x80", "cut\xE2\x80"},
      {"bad\xC2", "bad\xC2"},
      {"\xE2\x80.", "\xE2\x80."},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(tolvek::VisibleText(c.text), c.shown) << c.text;
}

}  // namespace
