#include "graphview/plain_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "graphview/edge_kinds.h"
#include "text_lines.h"
#include "tolvek/callstack.h"

namespace graphview {
namespace {

struct Fields {
  std::vector<std::string> list;
  // Field number index from 1; "" past the end.
  const std::string& operator()(size_t index) const {
    static const std::string kEmpty;
    return index >= 1 && index <= list.size() ? list[index - 1] : kEmpty;
  }
};

// Fields split at single blanks. A field that starts with a quote runs to its closing quote;
// inside, a backslash escapes the character after it (dot's escapes are kept as written, so
// an id read here equals the id in the DOT file) and a doubled quote stands for one quote.
void SplitFields(std::string_view line, std::vector<std::string>& fields) {
  fields.clear();
  size_t i = 0;
  while (true) {
    size_t blank;
    if (i < line.size() && line[i] == '"') {
      std::string& field = fields.emplace_back();
      for (++i; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
          field.append(line.substr(i, 2));
          ++i;
        } else if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          field.push_back('"');
          ++i;
        } else if (c == '"') {
          ++i;
          break;
        } else {
          field.push_back(c);
        }
      }
      blank = line.find(' ', i);
    } else {
      blank = line.find(' ', i);
      fields.emplace_back(line.substr(i, blank == std::string_view::npos ? blank : blank - i));
    }
    if (blank == std::string_view::npos) return;
    i = blank + 1;
  }
}

void ReadNode(std::string_view line, const Fields& f, GraphLayout& layout) {
  TextArena& t = layout.texts;
  GraphNode& node = layout.nodes.emplace_back();
  node.plainLine = line;
  node.name = t.Keep(f(2));
  node.x = NumberValue(f(3));
  node.y = NumberValue(f(4));
  node.width = NumberValue(f(5));
  node.height = NumberValue(f(6));
  node.label = t.Keep(f(7));
  node.style = t.Intern(f(8));
  node.shape = t.Intern(f(9));
  node.color = t.Intern(f(10));
  node.fillcolor = t.Intern(f(11));
  layout.nodeIndex[node.name] = &node;
}

bool HasNumberText(std::string_view field) {
  field = detail::TrimBlanks(field);
  return std::any_of(field.begin(), field.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

void ReadEdge(std::string_view line, const Fields& f, GraphLayout& layout) {
  TextArena& t = layout.texts;
  GraphEdge& edge = layout.edges.emplace_back();
  edge.plainLine = line;
  edge.tail = t.Keep(f(2));
  edge.head = t.Keep(f(3));
  // A count beyond the line's own fields would only add points at 0, 0; it is capped so a
  // damaged line cannot ask for millions of them.
  int64_t n = std::clamp<int64_t>(IntegerValue(f(4)), 0, static_cast<int64_t>(f.list.size()));
  size_t count = static_cast<size_t>(n);
  edge.points.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    edge.points.push_back({NumberValue(f(5 + 2 * i)), NumberValue(f(6 + 2 * i))});
  }
  size_t after = 2 * count + 5;
  if (HasNumberText(f(after + 1))) {
    edge.label = t.Keep(f(after));
    edge.labelX = NumberValue(f(after + 1));
    edge.labelY = NumberValue(f(after + 2));
    edge.style = t.Intern(f(after + 3));
    edge.color = t.Intern(f(after + 4));
  } else {
    edge.style = t.Intern(f(after));
    edge.color = t.Intern(f(after + 1));
  }
  layout.edgeIndex[EdgeKey(edge.tail, edge.head, GetEdgeType(line))].edges.push_back(&edge);
}

// Every position and size within kMaxLayoutUnits of the origin, so that every extent, sum and
// picture size worked out from them stays finite.
bool WithinReach(const GraphLayout& layout) {
  auto near = [](double v) { return std::abs(v) <= kMaxLayoutUnits; };
  if (!near(layout.width) || !near(layout.height)) return false;
  for (const GraphNode& node : layout.nodes) {
    if (!near(node.x) || !near(node.y) || !near(node.width) || !near(node.height)) return false;
  }
  for (const GraphEdge& edge : layout.edges) {
    if (!near(edge.labelX) || !near(edge.labelY)) return false;
    for (const BezierPoint& p : edge.points) {
      if (!near(p.x) || !near(p.y)) return false;
    }
  }
  return true;
}

}  // namespace

double NumberValue(std::string_view text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && std::isfinite(value) ? value : 0;
}

int64_t IntegerValue(std::string_view text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() ? value : 0;
}

PlainLayoutStatus ReadPlainLayout(std::string text, GraphLayout& layout) {
  TOLVEK_TRACE("ReadPlainLayout");
  if (text.empty()) return PlainLayoutStatus::kUnreadable;
  std::string_view kept = layout.texts.Keep(std::move(text));
  detail::LineCursor lines(kept);
  std::string_view physical;
  Fields fields;
  while (lines.Next(physical)) {
    std::string_view line = physical;
    if (!line.empty() && line.back() == '\\') {
      std::string joined;
      while (!physical.empty() && physical.back() == '\\') {
        joined.append(physical.substr(0, physical.size() - 1));
        if (!lines.Next(physical)) {
          physical = {};
          break;
        }
      }
      joined.append(physical);
      line = layout.texts.Keep(std::move(joined));
    }
    if (line.empty()) continue;
    std::string_view word = line.substr(0, line.find(' '));
    if (word != "graph" && word != "node" && word != "edge") continue;
    SplitFields(line, fields.list);
    if (word == "graph") {
      layout.scale = NumberValue(fields(2));
      layout.width = NumberValue(fields(3));
      layout.height = NumberValue(fields(4));
    } else if (word == "node") {
      ReadNode(line, fields, layout);
    } else {
      ReadEdge(line, fields, layout);
    }
  }
  if (!(layout.width > 0) || !(layout.height > 0) || !WithinReach(layout)) {
    return PlainLayoutStatus::kUnreadable;
  }
  return PlainLayoutStatus::kOk;
}

LayoutImage SizeLayoutImage(const GraphLayout& layout) {
  double maxX = 0;
  double maxY = 0;
  for (const GraphNode& node : layout.nodes) {
    maxX = std::max(maxX, node.x + node.width);
    maxY = std::max(maxY, node.y + node.height);
  }
  double w = std::max(maxX, 1.0) * 100;
  double h = std::max(maxY, 1.0) * 100;
  // A layout that was read has a finite extent; the bound keeps any other from looping.
  if (!std::isfinite(w) || !std::isfinite(h)) return {1, 1};
  for (int tens = 0; tens < 400 && (w > 1000 || h > 1000); ++tens) {
    w /= 10;
    h /= 10;
  }
  return {static_cast<int64_t>(std::nearbyint(std::max(w, 1.0))),
          static_cast<int64_t>(std::nearbyint(std::max(h, 1.0)))};
}

}  // namespace graphview
