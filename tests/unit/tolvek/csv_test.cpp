#include "tolvek/csv.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvek {
namespace {

std::vector<std::string> Fields(const std::string& line, const std::string& sep, int upTo) {
  std::vector<std::string> out;
  for (int i = 1; i <= upTo; ++i) out.push_back(CsvField(line, i, sep, "<none>"));
  return out;
}

TEST(CsvField, SplitsQuotedAndUnquotedFields) {
  using V = std::vector<std::string>;
  struct Case {
    std::string line;
    std::string sep;
    V fields;  // the first four
  };
  for (const Case& c : {
           Case{"a b c", " ", {"a", "b", "c", "<none>"}},
           Case{"node \"x y\" 1.5 2", " ", {"node", "x y", "1.5", "2"}},
           Case{"\"a\"\"b\",c", ",", {"a\"b", "c", "<none>", "<none>"}},
           Case{"a,", ",", {"a", "<none>", "<none>", "<none>"}},
           Case{"a,,", ",", {"a", "", "<none>", "<none>"}},
           Case{"a,,b", ",", {"a", "", "b", "<none>"}},
           Case{"", ",", {"<none>", "<none>", "<none>", "<none>"}},
           Case{"a;;b", ";;", {"a", "b", "<none>", "<none>"}},
           Case{"\"a\"x,b", ",", {"a", "", "b", "<none>"}},
           Case{"a,\"open b,c", ",", {"a", "<none>", "<none>", "<none>"}},
           Case{"\"", ",", {"<none>", "<none>", "<none>", "<none>"}},
       }) {
    EXPECT_EQ(Fields(c.line, c.sep, 4), c.fields) << c.line;
  }
}

TEST(CsvField, ANewSeparatorSplitsTheSameLineAgain) {
  EXPECT_EQ(CsvField("a,b c", 2, ",", "-"), "b c");
  EXPECT_EQ(CsvField("a,b c", 2, " ", "-"), "c");
  EXPECT_EQ(CsvField("a,b c", 0, " ", "-"), "-");
  EXPECT_EQ(CsvField("a,b c", 1, "", "-"), "-");
}

TEST(CsvLine2FieldString, JoinsFieldsWithChr1) {
  struct Case {
    std::string record;
    std::string fields;
  };
  for (const Case& c : {
           Case{"\"a\",\"b,c\",\"d\"",
                "a\x01"
                "b,c\x01"
                "d"},
           Case{"\"a\"\"b\",\"c\"",
                "a\"\"b\x01"
                "c"},
           Case{"\"\",\"\"", "\x01"},
           Case{"\"x\"\"\",\"\"\"y\"", "x\"\"\x01\"\"y"},
           Case{"\"a\"\"\",\"b\"\",\"\"c\"",
                "a\"\"\x01"
                "b\"\",\"\"c"},
           Case{"", ""},
       }) {
    EXPECT_EQ(CsvLine2FieldString(c.record), c.fields) << c.record;
  }
}

}  // namespace
}  // namespace tolvek
