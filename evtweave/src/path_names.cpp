#include "evtweave/path_names.h"

#include <algorithm>

#include "evtweave/converter_state.h"
#include "tolvek/regex.h"

namespace evtweave {

std::string EscapePath(std::string_view path) {
  if (State().options.nopaths) {
    size_t at = path.find_last_of("\\/");
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
  }
  return ReplaceAll(path, "\\", "\\\\");
}

std::string UnescapeApostrophe(std::string_view text) {
  return ReplaceAll(text, "_0x27_", "'");
}

bool HasShortNameComponent(std::string_view path) {
  for (size_t at = path.find('~'); at != std::string_view::npos; at = path.find('~', at + 1)) {
    if (at + 1 < path.size() && path[at + 1] >= '0' && path[at + 1] <= '9' &&
        (at + 2 == path.size() || path[at + 2] == '\\')) {
      return true;
    }
  }
  return false;
}

uint8_t PathFacts(std::string_view path) {
  uint8_t facts = 0;
  if (path.size() >= 3 && path.substr(1, 2) == ":\\" && HasShortNameComponent(path)) {
    facts |= kShortNamePath;
  }
  if (Contains(path, kStopMarker)) facts |= kStopMarkerPath;
  return facts;
}

void PrepareShortPathIndex() {
  EntityState& entities = State().entities;
  const auto& longPaths = State().csv.LongPaths;
  entities.m_sortedLongPaths.clear();
  entities.m_sortedLongPaths.reserve(longPaths.size());
  for (size_t i = 0; i < longPaths.size(); ++i) {
    entities.m_sortedLongPaths.emplace_back(longPaths[i], static_cast<uint32_t>(i));
  }
  std::sort(entities.m_sortedLongPaths.begin(), entities.m_sortedLongPaths.end());
}

namespace {

bool HoldsShortMark(std::string_view text) {
  for (std::string_view mark : {"~1", "~2", "~3", "~4"}) {
    if (Contains(text, mark)) return true;
  }
  return false;
}

}  // namespace

std::string ResolveShortPath(std::string_view path) {
  if (!HasShortNameComponent(path)) return std::string(path);
  EntityState& entities = State().entities;
  auto cached = entities.ShortPathCache.find(path);
  if (cached != entities.ShortPathCache.end()) return cached->second;

  // Every character that is not a letter or digit is escaped, so no text of the log can
  // act as an operator; bytes of multi-byte characters stay as they are.
  std::string pattern;
  for (char c : path) {
    auto u = static_cast<unsigned char>(c);
    bool plain =
        (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
    if (!plain) pattern.push_back('\\');
    pattern.push_back(c);
  }
  for (std::string_view mark : {"\\~1", "\\~2", "\\~3", "\\~4"}) {
    pattern = ReplaceAll(pattern, mark, "[^\\\\]*");
  }
  std::string result(path);
  auto regex = tolvek::CreateRegularExpression(pattern, tolvek::kRegexCaseless);
  if (regex) {
    // Every match starts at the path's literal beginning (a drive letter), so only long
    // paths that share the text before the first short component can match: they form one
    // range of the sorted list. Among the matches the one met first in the log wins.
    size_t cut = path.size();
    for (std::string_view mark : {"~1", "~2", "~3", "~4"}) cut = std::min(cut, path.find(mark));
    std::string prefix = LowerCase(path.substr(0, cut));
    const auto& sorted = entities.m_sortedLongPaths;
    auto it = std::lower_bound(sorted.begin(), sorted.end(),
                               std::make_pair(std::string_view(prefix), uint32_t{0}));
    uint32_t bestLong = UINT32_MAX;
    uint32_t bestShort = UINT32_MAX;
    std::string longMatch;
    std::string shortMatch;
    for (; it != sorted.end() && it->first.substr(0, prefix.size()) == prefix; ++it) {
      tolvek::Regex::Match match;
      if (!regex->Find(it->first, 0, match)) continue;
      std::string matched(
          TrimBlanks(it->first.substr(match.offsets[0], match.offsets[1] - match.offsets[0])));
      if (!HoldsShortMark(matched)) {
        if (it->second < bestLong) {
          bestLong = it->second;
          longMatch = std::move(matched);
        }
      } else if (it->second < bestShort) {
        bestShort = it->second;
        shortMatch = std::move(matched);
      }
    }
    if (bestLong != UINT32_MAX) {
      result = longMatch;
    } else if (bestShort != UINT32_MAX) {
      result = shortMatch;
    }
  }
  entities.ShortPathCache.emplace(std::string(path), result);
  return result;
}

namespace {

std::string_view ExtensionOf(std::string_view name) {
  size_t lastSeparator = name.find_last_of("\\/ ");
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos ||
      (lastSeparator != std::string_view::npos && dot < lastSeparator)) {
    return {};
  }
  std::string_view ext = name.substr(dot + 1);
  return ext.substr(0, ext.find('"'));
}

bool EndsWithIndex(std::string_view name) {
  if (name.size() < 3 || name.back() != ']') return false;
  size_t i = name.size() - 1;
  size_t digits = 0;
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') {
    --i;
    ++digits;
  }
  return digits > 0 && i > 0 && name[i - 1] == '[';
}

}  // namespace

std::string GetContentCategory(std::string_view name) {
  std::string_view ext;
  if (!name.empty() && name.front() == '.') {
    ext = name.substr(1);
  } else if (Contains(name, "\\")) {
    ext = ExtensionOf(name.substr(name.find_last_of("\\/") + 1));
  } else if (Contains(name, ".")) {
    ext = ExtensionOf(name);
  } else {
    ext = name;
  }
  std::string e = LowerCase(ext);
  auto any = [&](std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), e) != list.end();
  };
  if (any({"jpg", "png", "gif", "ico", "jpeg", "bmp", "tiff", "svg"})) return "GRAFX";
  if (e == "css") return "CSS";
  if (any({"html", "htm", "php", "asp", "eot", "htc"})) return "HTML";
  if (e == "js") return "JAVASCRIPT";
  if (e == "xml") return "XML";
  if (any({"swf", "sxx"})) return "FLASH";
  if (e == "txt") return Contains(name, "@") ? "COOKIES" : std::string(name);
  if (e == "dat") return Contains(LowerCase(name), "cookies") ? "COOKIES" : std::string(name);
  if (EndsWithIndex(name)) return "HTML";
  if (Contains(LowerCase(name), "=gapi")) return "JAVASCRIPT";
  return std::string(name);
}

bool HasContentCategory(std::string_view name) {
  return GetContentCategory(name) != name;
}

}  // namespace evtweave
