#include "tolvek/stringbuffer.h"

#include <gtest/gtest.h>

namespace tolvek {
namespace {

TEST(Stringbuffer, GrowsInWholeStepsAtTheBoundary) {
  struct Case {
    size_t characters;
    int64_t blockSize;
  };
  for (const Case& c : {Case{0, 1'000'000}, Case{499'999, 1'000'000}, Case{500'000, 2'000'000},
                        Case{1'500'000, 4'000'000}}) {
    Stringbuffer* b = NewStringbuffer();
    StringbufferAppend(b, std::string(c.characters, 'x'));
    EXPECT_EQ(b->blockSize, c.blockSize) << c.characters;
    EXPECT_EQ(Stringbuffer2String(b).size(), c.characters);
    FreeStringbuffer(b);
  }
}

TEST(Stringbuffer, ManySmallAppendsEqualOneBigAndCountUtf16Units) {
  Stringbuffer* pieces = NewStringbuffer();
  std::string whole;
  for (int i = 0; i < 600'000; ++i) {
    const char* piece = i % 3 == 0 ? "ä" : i % 3 == 1 ? "😀" : "a";
    StringbufferAppend(pieces, piece);
    whole += piece;
  }
  EXPECT_EQ(Stringbuffer2String(pieces), whole);
  EXPECT_EQ(pieces->used, 2 * (200'000 + 400'000 + 200'000));
  EXPECT_GT(pieces->blockSize, pieces->used);
  StringbufferAppend(pieces, "more");  // still usable after conversion
  EXPECT_EQ(Stringbuffer2String(pieces), whole + "more");
  FreeStringbuffer(pieces);
}

TEST(Stringbuffer, AppendLineEndsWithCrLf) {
  Stringbuffer* b = NewStringbuffer();
  StringbufferAppendLine(b, "a");
  StringbufferAppendLine(b, "b");
  EXPECT_EQ(Stringbuffer2String(b), "a\r\nb\r\n");
  FreeStringbuffer(b);
}

}  // namespace
}  // namespace tolvek
