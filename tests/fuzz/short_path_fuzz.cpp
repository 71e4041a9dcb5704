// Short-name resolution from raw bytes: the first line is a path with short components, the
// other lines the log's long paths. For printable ASCII the answer must be the one that
// matching the path as an expression ("~1" to "~4" as any run within a component) against
// each long path gives; for any input resolving must stay quick.
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "evtweave/converter_state.h"
#include "evtweave/path_names.h"
#include "tolvek/regex.h"

namespace {

bool PrintableAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

bool HoldsMark(std::string_view text) {
  for (std::string_view mark : {"~1", "~2", "~3", "~4"}) {
    if (text.find(mark) != std::string_view::npos) return true;
  }
  return false;
}

// The answer as an expression gives it; false when the matcher gave up on a long path.
bool ResolveByExpression(std::string_view path, const std::vector<std::string_view>& longPaths,
                         std::string& answer) {
  std::string pattern = "^";
  for (char c : path) {
    bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!plain) pattern.push_back('\\');
    pattern.push_back(c);
  }
  for (std::string_view mark : {"\\~1", "\\~2", "\\~3", "\\~4"}) {
    pattern = evtweave::ReplaceAll(pattern, mark, "[^\\\\]*");
  }
  auto regex = tolvek::CreateRegularExpression(pattern, tolvek::kRegexCaseless);
  answer = std::string(path);
  if (!regex) return true;
  std::string withMarks;
  bool haveWithMarks = false;
  for (std::string_view candidate : longPaths) {
    tolvek::Regex::Match match;
    bool limitHit = false;
    if (!regex->Find(candidate, 0, match, limitHit)) {
      if (limitHit) return false;
      continue;
    }
    std::string matched(evtweave::TrimBlanks(
        candidate.substr(match.offsets[0], match.offsets[1] - match.offsets[0])));
    if (!HoldsMark(matched)) {
      answer = matched;
      return true;
    }
    if (!haveWithMarks) {
      haveWithMarks = true;
      withMarks = matched;
    }
  }
  if (haveWithMarks) answer = withMarks;
  return true;
}

// Time the calling thread spent in its own code (not in the kernel's page handling, which a
// busy machine can stretch at any moment).
int64_t UserMicroseconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return int64_t{usage.ru_utime.tv_sec} * 1'000'000 + usage.ru_utime.tv_usec;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\n');
  std::string_view path = input.substr(0, cut);
  evtweave::ResetConverterState();
  std::vector<std::string> lowered;
  if (cut != std::string_view::npos) {
    for (size_t start = cut + 1; start <= input.size();) {
      size_t end = input.find('\n', start);
      if (end == std::string_view::npos) end = input.size();
      lowered.push_back(evtweave::LowerCase(input.substr(start, end - start)));
      start = end + 1;
    }
  }
  auto& csv = evtweave::State().csv;
  for (const std::string& text : lowered) {
    if (csv.m_longPathSet.insert(text).second) csv.LongPaths.push_back(text);
  }
  evtweave::PrepareShortPathIndex();
  int64_t begin = UserMicroseconds();
  std::string resolved = evtweave::ResolveShortPath(path);
  // Linear in the log: far below this even under the sanitizers. A slow answer is asked
  // again afresh: only one that is slow every time is a finding.
  for (int again = 0; UserMicroseconds() - begin > 500'000 && size < 100'000; ++again) {
    if (again == 2) __builtin_trap();
    evtweave::PrepareShortPathIndex();
    evtweave::State().entities.ShortPathCache.clear();
    begin = UserMicroseconds();
    if (evtweave::ResolveShortPath(path) != resolved) __builtin_trap();
  }
  if (evtweave::ResolveShortPath(path) != resolved) __builtin_trap();
  if (evtweave::HasShortNameComponent(path) && PrintableAscii(input.substr(0, size)) &&
      input.find('\r') == std::string_view::npos) {
    std::string expected;
    if (ResolveByExpression(path, csv.LongPaths, expected) && expected != resolved) {
      __builtin_trap();
    }
  }
  evtweave::ResetConverterState();
  return 0;
}
