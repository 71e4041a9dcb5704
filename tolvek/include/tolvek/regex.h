// Regular expressions (PCRE, UTF-8) and the extraction of their matches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvek {

enum RegexFlags : int {
  kRegexCaseless = 1,
  kRegexMultiline = 2,
  kRegexDotAll = 4,
};

// A compiled expression. Matching always runs with match limits; a limit hit is "no match".
// Invalid UTF-8 in a subject is repaired (U+FFFD) before matching.
class Regex {
 public:
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  int CaptureCount() const { return m_captureCount; }

  // One match: byte offsets into the (repaired) subject; -1 for a group that took no part.
  struct Match {
    std::vector<int> offsets;  // 2 * (CaptureCount() + 1)
  };
  // Finds the first match at or after byte offset start. A subject that is not valid UTF-8
  // has no match when searched from 0; a later start must continue such a checked walk.
  bool Find(std::string_view subject, int start, Match& match) const;
  // As Find; limitHit tells whether a "no match" came from the match limit.
  bool Find(std::string_view subject, int start, Match& match, bool& limitHit) const;
  // Bounds one match attempt to limit steps of the matcher instead of the generous default.
  void SetMatchLimit(unsigned long limit);

 private:
  friend std::unique_ptr<Regex> CreateRegularExpression(std::string_view, int);
  Regex() = default;
  void* m_code = nullptr;
  void* m_extra = nullptr;
  int m_captureCount = 0;
};

// Null when the pattern does not compile.
std::unique_ptr<Regex> CreateRegularExpression(std::string_view pattern, int flags = 0);

// Byte offset of the character after the one at offset (for stepping past empty matches).
int NextCharacterOffset(std::string_view subject, int offset);

// Every match of regex in a valid UTF-8 subject, in order; an empty match advances by one
// character, so the walk always ends. fn(const Regex::Match&) returns false to stop.
template <class Fn>
void ForEachMatch(const Regex& regex, std::string_view subject, Fn fn) {
  Regex::Match match;
  int start = 0;
  while (start <= static_cast<int>(subject.size()) && regex.Find(subject, start, match)) {
    if (!fn(match)) return;
    int end = match.offsets[1];
    start = end > match.offsets[0] ? end : NextCharacterOffset(subject, end);
  }
}

struct RegExResult {
  std::vector<std::string> group;  // 0 = whole match, i = group i ("" when it took no part)
};

std::string ExtractRegularExpression1(const Regex& regex, std::string_view text, int group,
                                      bool trim);
int64_t ExtractRegularExpression2RegExResultList(const Regex& regex, std::string_view text,
                                                 std::vector<RegExResult>& results, bool trim,
                                                 bool trimWhite);
int64_t ExtractRegularExpression2List(const Regex& regex, std::string_view text,
                                      std::vector<std::string>& results, int group, bool trim,
                                      bool trimWhite);

}  // namespace tolvek
