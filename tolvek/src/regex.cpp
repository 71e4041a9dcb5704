#include "tolvek/regex.h"

#include <pcre.h>

#include <algorithm>
#include <mutex>

#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"
#include "tolvek/text_utils.h"

namespace tolvek {
namespace {

// Generous for any real pattern, yet a hostile subject cannot make a match run for minutes.
constexpr unsigned long kMatchLimit = 10'000'000;
constexpr unsigned long kRecursionLimit = 20'000;

#if TOLVEK_TRACE_CALLS
// The workbench serialises walks over shared compiled expressions; the converter has one
// thread and no lock.
std::recursive_mutex& RegexMutex() {
  static std::recursive_mutex m;
  return m;
}
#define TOLVEK_REGEX_LOCK std::lock_guard<std::recursive_mutex> regexLock(RegexMutex())
#else
#define TOLVEK_REGEX_LOCK ((void)0)
#endif

// Subjects from outside may hold invalid UTF-8; matching runs on a repaired copy only then.
struct Subject {
  std::string repaired;
  std::string_view view;
  explicit Subject(std::string_view text) {
    if (IsValidUtf8(text)) {
      view = text;
    } else {
      repaired = SanitizeUtf8(text);
      view = repaired;
    }
  }
};

// Group -1: group 1 for exactly one capture group, else the whole match; 0 or a number
// beyond the groups: the whole match.
int ResolveGroup(int group, int captures) {
  if (group == -1) return captures == 1 ? 1 : 0;
  if (group < 0 || group > captures) return 0;
  return group;
}

std::string GroupText(std::string_view subject, const Regex::Match& m, int group) {
  int a = m.offsets[2 * group];
  int b = m.offsets[2 * group + 1];
  if (a < 0 || b < a) return {};
  return std::string(subject.substr(a, b - a));
}

// LF, CR, blanks and tabs from both ends, in passes until nothing more goes.
std::string TrimWhitespace(std::string s) {
  bool changed = true;
  while (changed && !s.empty()) {
    changed = false;
    for (char c : {'\n', '\r', ' ', '\t'}) {
      size_t a = 0;
      while (a < s.size() && s[a] == c) ++a;
      size_t b = s.size();
      while (b > a && s[b - 1] == c) --b;
      if (a > 0 || b < s.size()) {
        s = s.substr(a, b - a);
        changed = true;
      }
    }
  }
  return s;
}

std::string Trimmed(std::string s, bool trim, bool trimWhite) {
  if (!trim) return s;
  return trimWhite ? TrimWhitespace(std::move(s)) : std::string(TrimBlanks(s, " "));
}

}  // namespace

Regex::~Regex() {
  if (m_extra) pcre_free_study(static_cast<pcre_extra*>(m_extra));
  if (m_code) pcre_free(m_code);
}

std::unique_ptr<Regex> CreateRegularExpression(std::string_view pattern, int flags) {
  int options = PCRE_UTF8 | PCRE_NO_UTF8_CHECK;
  if (flags & kRegexCaseless) options |= PCRE_CASELESS;
  if (flags & kRegexMultiline) options |= PCRE_MULTILINE;
  if (flags & kRegexDotAll) options |= PCRE_DOTALL;
  std::string text = SanitizeUtf8(pattern);
  const char* error = nullptr;
  int errorOffset = 0;
  pcre* code = pcre_compile(text.c_str(), options, &error, &errorOffset, nullptr);
  if (!code) return nullptr;
  std::unique_ptr<Regex> regex(new Regex());
  regex->m_code = code;
  pcre_extra* extra = pcre_study(code, 0, &error);
  if (!extra) {
    extra = static_cast<pcre_extra*>(pcre_malloc(sizeof(pcre_extra)));
    *extra = pcre_extra{};
  }
  extra->flags |= PCRE_EXTRA_MATCH_LIMIT | PCRE_EXTRA_MATCH_LIMIT_RECURSION;
  extra->match_limit = kMatchLimit;
  extra->match_limit_recursion = kRecursionLimit;
  regex->m_extra = extra;
  pcre_fullinfo(code, extra, PCRE_INFO_CAPTURECOUNT, &regex->m_captureCount);
  return regex;
}

bool Regex::Find(std::string_view subject, int start, Match& match) const {
  bool limitHit = false;
  return Find(subject, start, match, limitHit);
}

void Regex::SetMatchLimit(unsigned long limit) {
  auto* extra = static_cast<pcre_extra*>(m_extra);
  extra->match_limit = limit;
  extra->match_limit_recursion = std::min(limit, kRecursionLimit);
}

bool Regex::Find(std::string_view subject, int start, Match& match, bool& limitHit) const {
  int slots = 3 * (m_captureCount + 1);
  match.offsets.assign(static_cast<size_t>(slots), -1);
  // A walk starts at 0, where the subject's UTF-8 is checked once (invalid text is then
  // "no match", never a read past its end); later steps of the walk skip the check.
  int options = start == 0 ? 0 : PCRE_NO_UTF8_CHECK;
  int rc = pcre_exec(static_cast<const pcre*>(m_code), static_cast<const pcre_extra*>(m_extra),
                     subject.data(), static_cast<int>(subject.size()), start, options,
                     match.offsets.data(), slots);
  // No match, a limit hit or an error all read as "no match".
  limitHit = rc == PCRE_ERROR_MATCHLIMIT || rc == PCRE_ERROR_RECURSIONLIMIT;
  if (rc < 0) return false;
  match.offsets.resize(2 * (static_cast<size_t>(m_captureCount) + 1));
  return true;
}

int NextCharacterOffset(std::string_view subject, int offset) {
  int n = static_cast<int>(subject.size());
  int i = offset + 1;
  while (i < n && (static_cast<unsigned char>(subject[i]) & 0xC0) == 0x80) ++i;
  return i;
}

std::string ExtractRegularExpression1(const Regex& regex, std::string_view text, int group,
                                      bool trim) {
  TOLVEK_TRACE("ExtractRegularExpression1");
  Subject subject(text);
  Regex::Match match;
  std::string result;
  {
    TOLVEK_REGEX_LOCK;
    if (!regex.Find(subject.view, 0, match)) return {};
    result = GroupText(subject.view, match, ResolveGroup(group, regex.CaptureCount()));
  }
  return trim ? std::string(TrimBlanks(result, " ")) : result;
}

int64_t ExtractRegularExpression2RegExResultList(const Regex& regex, std::string_view text,
                                                 std::vector<RegExResult>& results, bool trim,
                                                 bool trimWhite) {
  TOLVEK_TRACE("ExtractRegularExpression2RegExResultList");
  results.clear();
  Subject subject(text);
  int n = regex.CaptureCount();
  TOLVEK_REGEX_LOCK;
  ForEachMatch(regex, subject.view, [&](const Regex::Match& m) {
    RegExResult& r = results.emplace_back();
    r.group.resize(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
      r.group[i] = Trimmed(GroupText(subject.view, m, i), trim, trimWhite);
    return true;
  });
  return static_cast<int64_t>(results.size());
}

int64_t ExtractRegularExpression2List(const Regex& regex, std::string_view text,
                                      std::vector<std::string>& results, int group, bool trim,
                                      bool trimWhite) {
  TOLVEK_TRACE("ExtractRegularExpression2List");
  results.clear();
  Subject subject(text);
  int g = ResolveGroup(group, regex.CaptureCount());
  TOLVEK_REGEX_LOCK;
  ForEachMatch(regex, subject.view, [&](const Regex::Match& m) {
    results.push_back(Trimmed(GroupText(subject.view, m, g), trim, trimWhite));
    return true;
  });
  return static_cast<int64_t>(results.size());
}

}  // namespace tolvek
