// Styles, indicators and finds of the editor control, by character positions.
#include <algorithm>
#include <functional>

#include "gui/scintilla_wrapper.h"
#include "platform/scintilla_codes.h"
#include "platform/text_case.h"
#include "scintilla_module.h"
#include "tolvek/callstack.h"

namespace gui {

using Sci = platform::ScintillaCodes;
using detail::Module;
using detail::Send;

namespace {

// Code points in lower case: a character position is an index into it.
std::u32string Folded(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    auto c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = c;
    size_t n = 1;
    if (c >= 0xF0) {
      n = 4;
      cp = c & 0x07;
    } else if (c >= 0xE0) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xC0) {
      n = 2;
      cp = c & 0x1F;
    }
    if (n > 1) {
      if (i + n > utf8.size()) n = utf8.size() - i;
      for (size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out.push_back(platform::LowerCodePoint(cp));
    i += n;
  }
  return out;
}

// Every start of needle in haystack at or after from, overlapping ones included.
void ForEachOccurrence(const std::u32string& haystack, const std::u32string& needle, int64_t from,
                       const std::function<bool(int64_t)>& fn) {
  if (needle.empty()) return;
  std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
  auto at = haystack.begin() + std::clamp<int64_t>(from, 0, int64_t(haystack.size()));
  for (;;) {
    auto hit = std::search(at, haystack.end(), searcher);
    if (hit == haystack.end()) return;
    if (!fn(hit - haystack.begin())) return;
    at = hit + 1;
  }
}

std::vector<int> IndicatorsOf(int gadget) {
  std::vector<int> numbers;
  int n = Scintilla_CountIndicatorStyles(gadget);
  for (int i = 0; i < n; ++i) numbers.push_back(i);
  return numbers;
}

void ClearAllIndicators(int gadget) {
  int64_t bytes = Scintilla_GetTextLength(gadget);
  for (int i : IndicatorsOf(gadget)) {
    Send(gadget, Sci::SCI_SETINDICATORCURRENT, uintptr_t(i));
    Send(gadget, Sci::SCI_INDICATORCLEARRANGE, 0, bytes);
  }
}

int NormaliseGroup(int group, int captures) {
  if (group == -1) return captures > 1 ? 0 : captures;
  if (group < 0 || group > captures) return 0;
  return group;
}

// Moves the caret right after a hit and brings the lines below it into view.
void ShowHit(int gadget, int64_t position, int64_t length) {
  int64_t end = Scintilla_ConvertBytePos2CharacterBytePos(gadget, position + length);
  intptr_t line = Send(gadget, Sci::SCI_LINEFROMPOSITION, uintptr_t(end));
  Send(gadget, Sci::SCI_GOTOLINE, uintptr_t(line + 20));
  Send(gadget, Sci::SCI_GOTOPOS, uintptr_t(end));
}

void MarkAllStrings(int gadget, const std::u32string& text, const std::u32string& search,
                    int indicator) {
  ForEachOccurrence(text, search, 0, [&](int64_t at) {
    Scintilla_IndicateChars(gadget, at, int64_t(search.size()), indicator);
    return true;
  });
}

// The part of a match the expression operations mark, as byte offsets; false for a group
// that took no part in the match.
bool MarkedPart(const tolvek::Regex::Match& match, int group, int64_t& begin, int64_t& end) {
  begin = match.offsets[2 * group];
  end = match.offsets[2 * group + 1];
  return begin >= 0 && end >= begin;
}

}  // namespace

int Scintilla_CreateIndicatorStyle(int gadget, int style, uint32_t colour, int outlineAlpha,
                                   int alpha) {
  TOLVEK_TRACE("Scintilla_CreateIndicatorStyle");
  int n = Scintilla_CountIndicatorStyles(gadget);
  Module().indicatorList.push_back(gadget);
  auto i = uintptr_t(n);
  Send(gadget, Sci::SCI_INDICSETSTYLE, i, style);
  Send(gadget, Sci::SCI_INDICSETFORE, i, intptr_t(colour & 0xFFFFFF));
  Send(gadget, Sci::SCI_INDICSETOUTLINEALPHA, i, outlineAlpha);
  Send(gadget, Sci::SCI_INDICSETALPHA, i, alpha);
  return n;
}

int Scintilla_CountIndicatorStyles(int gadget) {
  TOLVEK_TRACE("Scintilla_CountIndicatorStyles");
  const auto& list = Module().indicatorList;
  return int(std::count(list.begin(), list.end(), gadget));
}

void Scintilla_StyleChars(int gadget, int64_t position, int64_t length, int style) {
  TOLVEK_TRACE("Scintilla_StyleChars");
  if (position < 0 || length < 0) return;
  int64_t start = Scintilla_ConvertBytePos2CharacterBytePos(gadget, position);
  int64_t end = Scintilla_ConvertBytePos2CharacterBytePos(gadget, position + length);
  Send(gadget, Sci::SCI_STARTSTYLING, uintptr_t(start), 255);
  Send(gadget, Sci::SCI_SETSTYLING, uintptr_t(end - start), style);
}

void Scintilla_StyleAll(int gadget, int style) {
  TOLVEK_TRACE("Scintilla_StyleAll");
  detail::RefreshTextCache(gadget);
  int64_t characters = detail::ByteToCharacterPosition(gadget, Scintilla_GetTextLength(gadget));
  Scintilla_StyleChars(gadget, 0, characters, style);
}

void Scintilla_UnstyleAll(int gadget) {
  TOLVEK_TRACE("Scintilla_UnstyleAll");
  Scintilla_StyleAll(gadget, 0);
}

void Scintilla_IndicateChars(int gadget, int64_t position, int64_t length, int indicator) {
  TOLVEK_TRACE("Scintilla_IndicateChars");
  if (position < 0 || length < 0) return;
  int64_t start = Scintilla_ConvertBytePos2CharacterBytePos(gadget, position);
  int64_t bytes = Scintilla_ConvertBytePos2CharacterBytePos(gadget, position + length) - start;
  if (Module().clearIndicatorsOnMark) {
    for (int i : IndicatorsOf(gadget)) {
      Send(gadget, Sci::SCI_SETINDICATORCURRENT, uintptr_t(i));
      Send(gadget, Sci::SCI_INDICATORCLEARRANGE, uintptr_t(start), bytes);
    }
  }
  Send(gadget, Sci::SCI_SETINDICATORCURRENT, uintptr_t(indicator));
  Send(gadget, Sci::SCI_INDICATORFILLRANGE, uintptr_t(start), bytes);
}

void Scintilla_IndicateString(int gadget, const std::string& search, int indicator) {
  TOLVEK_TRACE("Scintilla_IndicateString");
  if (search.empty()) return;
  MarkAllStrings(gadget, Folded(detail::TextView(gadget)), Folded(search), indicator);
}

void Scintilla_IndicateRegularExpression(int gadget, const tolvek::Regex& regex, int indicator,
                                         int secondIndicator, int group) {
  TOLVEK_TRACE("Scintilla_IndicateRegularExpression");
  std::string text = Scintilla_GetText(gadget);
  group = NormaliseGroup(group, regex.CaptureCount());
  int64_t count = 0;
  tolvek::ForEachMatch(regex, text, [&](const tolvek::Regex::Match& match) {
    int64_t begin = 0, end = 0;
    if (!MarkedPart(match, group, begin, end)) return true;
    int use = (count % 2 == 1 && secondIndicator != kNoIndicator) ? secondIndicator : indicator;
    int64_t position = detail::ByteToCharacterPosition(gadget, begin);
    Scintilla_IndicateChars(gadget, position,
                            detail::ByteToCharacterPosition(gadget, end) - position, use);
    ++count;
    return true;
  });
}

int64_t Scintilla_FindString(int gadget, const std::string& search, int64_t startPosition,
                             int hitIndicator, int allIndicator) {
  TOLVEK_TRACE("Scintilla_FindString");
  std::u32string text = Folded(detail::TextView(gadget));
  std::u32string needle = Folded(search);
  ClearAllIndicators(gadget);
  if (allIndicator != kNoIndicator && !needle.empty()) {
    Module().clearIndicatorsOnMark = false;
    MarkAllStrings(gadget, text, needle, allIndicator);
    Module().clearIndicatorsOnMark = true;
  }
  int64_t hit = -1;
  ForEachOccurrence(text, needle, std::max<int64_t>(startPosition, 0), [&](int64_t at) {
    hit = at;
    return false;
  });
  if (hit < 0) return -1;
  if (hitIndicator != kNoIndicator)
    Scintilla_IndicateChars(gadget, hit, int64_t(needle.size()), hitIndicator);
  ShowHit(gadget, hit, int64_t(needle.size()));
  return hit;
}

int64_t Scintilla_FindRegularExpression(int gadget, const tolvek::Regex& regex,
                                        int64_t startPosition, int hitIndicator, int allIndicator,
                                        int group) {
  TOLVEK_TRACE("Scintilla_FindRegularExpression");
  ClearAllIndicators(gadget);
  if (allIndicator != kNoIndicator) {
    Module().clearIndicatorsOnMark = false;
    Scintilla_IndicateRegularExpression(gadget, regex, allIndicator, kNoIndicator, group);
    Module().clearIndicatorsOnMark = true;
  }
  std::string text = Scintilla_GetText(gadget);
  int part = NormaliseGroup(group, regex.CaptureCount());
  int64_t startByte =
      Scintilla_ConvertBytePos2CharacterBytePos(gadget, std::max<int64_t>(startPosition, 0));
  int64_t hit = -1, length = 0;
  tolvek::ForEachMatch(regex, text, [&](const tolvek::Regex::Match& match) {
    int64_t begin = 0, end = 0;
    if (!MarkedPart(match, part, begin, end) || begin < startByte) return true;
    hit = detail::ByteToCharacterPosition(gadget, begin);
    length = detail::ByteToCharacterPosition(gadget, end) - hit;
    return false;
  });
  if (hit < 0) return -1;
  if (hitIndicator != kNoIndicator) Scintilla_IndicateChars(gadget, hit, length, hitIndicator);
  ShowHit(gadget, hit, length);
  return hit;
}

void Scintilla_Unfind(int gadget) {
  TOLVEK_TRACE("Scintilla_Unfind");
  ClearAllIndicators(gadget);
}

}  // namespace gui
