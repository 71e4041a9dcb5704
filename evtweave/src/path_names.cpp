#include "evtweave/path_names.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "evtweave/converter_state.h"

namespace evtweave {

std::string_view PathLabel(std::string_view path) {
  if (!State().options.nopaths) return path;
  size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? path : path.substr(at + 1);
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

namespace {

// One piece of a short component: literal text, each piece but the first after a wildcard.
struct ShortComponent {
  std::vector<std::string_view> m_pieces;
  bool Wild() const { return m_pieces.size() > 1; }
};

// "~1" to "~4" stand for any run of characters within the component; "~5" and above are
// plain text, as are the other characters.
ShortComponent SplitShortComponent(std::string_view component) {
  ShortComponent out;
  size_t from = 0;
  for (size_t i = 0; i + 1 < component.size(); ++i) {
    if (component[i] == '~' && component[i + 1] >= '1' && component[i + 1] <= '4') {
      out.m_pieces.push_back(component.substr(from, i - from));
      from = i + 2;
      ++i;
    }
  }
  out.m_pieces.push_back(component.substr(from));
  return out;
}

size_t FindFrom(std::string_view text, std::string_view piece, size_t from) {
  if (piece.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (from > text.size()) return std::string_view::npos;
  const void* at = memmem(text.data() + from, text.size() - from, piece.data(), piece.size());
  return at ? static_cast<const char*>(at) - text.data() : std::string_view::npos;
}

// The last place of piece in text, or npos; found as the first place of the reversed piece
// in the reversed text, since memmem keeps to time linear in the text.
size_t FindLast(std::string_view text, std::string_view piece) {
  if (piece.size() > text.size()) return std::string_view::npos;
  std::string reversedText(text.rbegin(), text.rend());
  std::string reversedPiece(piece.rbegin(), piece.rend());
  size_t at = FindFrom(reversedText, reversedPiece, 0);
  return at == std::string_view::npos ? at : text.size() - at - piece.size();
}

// Places the pieces after the first one leftmost, from from up to limit; the end of the last
// one placed, or npos.
size_t PlaceLeftmost(std::string_view text, const std::vector<std::string_view>& pieces,
                     size_t first, size_t last, size_t from, size_t limit) {
  for (size_t i = first; i < last; ++i) {
    size_t at = FindFrom(text.substr(0, limit), pieces[i], from);
    if (at == std::string_view::npos) return at;
    from = at + pieces[i].size();
  }
  return from;
}

// The whole long component matches the short one.
bool MatchesWhole(const ShortComponent& shortComponent, std::string_view name) {
  const auto& pieces = shortComponent.m_pieces;
  if (!shortComponent.Wild()) return name == pieces[0];
  std::string_view head = pieces.front();
  std::string_view tail = pieces.back();
  if (head.size() + tail.size() > name.size() || !name.starts_with(head) || !name.ends_with(tail)) {
    return false;
  }
  return PlaceLeftmost(name, pieces, 1, pieces.size() - 1, head.size(),
                       name.size() - tail.size()) != std::string_view::npos;
}

// How much of the long component the short one covers as the path's last component, or
// npos. Each wildcard takes as much as it can, so the last piece lands on its last
// occurrence.
size_t MatchedPrefix(const ShortComponent& shortComponent, std::string_view name) {
  const auto& pieces = shortComponent.m_pieces;
  if (!name.starts_with(pieces.front())) return std::string_view::npos;
  if (!shortComponent.Wild()) return pieces.front().size();
  size_t placed =
      PlaceLeftmost(name, pieces, 1, pieces.size() - 1, pieces.front().size(), name.size());
  if (placed == std::string_view::npos) return placed;
  std::string_view tail = pieces.back();
  size_t last = tail.empty() ? name.size() : FindLast(name, tail);
  if (last == std::string_view::npos || last < placed) return std::string_view::npos;
  return last + tail.size();
}

bool HoldsShortMark(std::string_view text) {
  for (std::string_view mark : {"~1", "~2", "~3", "~4"}) {
    if (Contains(text, mark)) return true;
  }
  return false;
}

}  // namespace

void LongPathTree::Build(const std::vector<std::string_view>& longPaths) {
  m_nodes.assign(1, Node{});
  m_children.clear();
  for (size_t i = 0; i < longPaths.size(); ++i) {
    std::string_view path = longPaths[i];
    uint32_t node = 0;
    size_t from = 0;
    for (;;) {
      size_t end = path.find('\\', from);
      std::string_view name = path.substr(from, end == std::string_view::npos ? end : end - from);
      auto [it, added] = m_children.try_emplace(ChildKey{node, name}, 0);
      if (added) {
        it->second = static_cast<uint32_t>(m_nodes.size());
        m_nodes.push_back(Node{name, node, static_cast<uint32_t>(i), {}});
        m_nodes[node].m_children.push_back(it->second);
      }
      node = it->second;
      if (end == std::string_view::npos) break;
      from = end + 1;
    }
  }
  m_built = true;
}

size_t LongPathTree::ChildKeyHash::operator()(const ChildKey& key) const {
  return std::hash<std::string_view>()(key.m_name) ^ (size_t{key.m_parent} * 0x9E3779B97F4A7C15u);
}

std::string LongPathTree::Text(uint32_t node, size_t lastLength) const {
  std::vector<uint32_t> chain;
  for (uint32_t at = node; at != 0; at = m_nodes[at].m_parent) chain.push_back(at);
  std::string text;
  for (size_t i = chain.size(); i-- > 0;) {
    std::string_view name = m_nodes[chain[i]].m_name;
    text.append(i == 0 ? name.substr(0, lastLength) : name);
    if (i > 0) text.push_back('\\');
  }
  return text;
}

void PrepareShortPathIndex() {
  State().entities.m_longPathTree = LongPathTree{};
}

// Compares component by component, walking down the tree of the log's long paths: a short
// component only ever looks at the components of the folder its predecessors matched.
// Among the matches the one whose long path came first in the log wins, a match without
// short marks before any with them.
std::string ResolveShortPath(std::string_view path) {
  if (!HasShortNameComponent(path)) return std::string(path);
  EntityState& entities = State().entities;
  auto cached = entities.ShortPathCache.find(path);
  if (cached != entities.ShortPathCache.end()) return cached->second;
  LongPathTree& tree = entities.m_longPathTree;
  if (!tree.m_built) tree.Build(State().csv.LongPaths);

  std::string lower = LowerCase(path);
  std::vector<ShortComponent> components;
  for (size_t from = 0;;) {
    size_t end = lower.find('\\', from);
    components.push_back(SplitShortComponent(
        std::string_view(lower).substr(from, end == std::string::npos ? end : end - from)));
    if (end == std::string::npos) break;
    from = end + 1;
  }

  std::vector<uint32_t> level{0};
  std::vector<uint32_t> next;
  for (size_t c = 0; c + 1 < components.size() && !level.empty(); ++c) {
    next.clear();
    for (uint32_t node : level) {
      if (!components[c].Wild()) {
        auto it = tree.m_children.find({node, components[c].m_pieces[0]});
        if (it != tree.m_children.end()) next.push_back(it->second);
        continue;
      }
      for (uint32_t child : tree.m_nodes[node].m_children) {
        if (MatchesWhole(components[c], tree.m_nodes[child].m_name)) next.push_back(child);
      }
    }
    level.swap(next);
  }
  uint32_t bestLong = UINT32_MAX;
  uint32_t bestShort = UINT32_MAX;
  std::string longMatch;
  std::string shortMatch;
  for (uint32_t node : level) {
    for (uint32_t child : tree.m_nodes[node].m_children) {
      const LongPathTree::Node& candidate = tree.m_nodes[child];
      if (candidate.m_first >= bestLong) continue;
      size_t length = MatchedPrefix(components.back(), candidate.m_name);
      if (length == std::string_view::npos) continue;
      std::string matched(TrimBlanks(tree.Text(child, length)));
      if (!HoldsShortMark(matched)) {
        bestLong = candidate.m_first;
        longMatch = std::move(matched);
      } else if (candidate.m_first < bestShort) {
        bestShort = candidate.m_first;
        shortMatch = std::move(matched);
      }
    }
  }
  std::string result(path);
  if (bestLong != UINT32_MAX) {
    result = std::move(longMatch);
  } else if (bestShort != UINT32_MAX) {
    result = std::move(shortMatch);
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
