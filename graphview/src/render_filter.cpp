#include "graphview/render_filter.h"

#include "graphview/edge_kinds.h"
#include "graphview/edge_label_modes.h"
#include "text_lines.h"
#include "tolvek/callstack.h"
#include "tolvek/visible_text.h"

namespace graphview {
namespace {

constexpr std::string_view kArrow = "\" -> \"";

bool Has(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}

// Calls fn with every quoted id in the line that begins with one of the prefixes: the text
// from a quote up to and including the next one. Every quote is tried as an opening one, so
// an id is found wherever it stands in the line.
template <class Fn>
void ForEachQuotedId(std::string_view line, std::initializer_list<std::string_view> prefixes,
                     Fn fn) {
  for (size_t q = line.find('"'); q != std::string_view::npos; q = line.find('"', q + 1)) {
    std::string_view rest = line.substr(q + 1);
    for (std::string_view prefix : prefixes) {
      if (rest.substr(0, prefix.size()) == prefix) {
        fn(detail::QuotedIdAt(line, q));
        break;
      }
    }
  }
}

bool HasIdStart(std::string_view line, std::string_view prefix) {
  for (size_t q = line.find('"'); q != std::string_view::npos; q = line.find('"', q + 1)) {
    if (line.substr(q + 1, prefix.size()) == prefix) return true;
  }
  return false;
}

// Splits the text into its header (up to and including the first blank line) and body lines,
// passing each to the matching callback.
template <class Header, class Body>
void WalkDot(std::string_view text, Header header, Body body) {
  detail::LineCursor lines(text);
  std::string_view line;
  bool inHeader = true;
  while (lines.Next(line)) {
    bool blank = detail::TrimBlanks(line).empty();
    if (inHeader) {
      header(line);
      if (blank) inHeader = false;
    } else if (!blank) {
      body(line);
    }
  }
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line).append("\r\n");
}

// True when a box that is off drops the line.
bool Dropped(std::string_view line, bool autostart, const RenderOptions& o) {
  const bool edge = Has(line, kArrow);
  if (HasIdStart(line, "REGISTRY")) {
    if (!o.registry) return true;
    if (!o.registryNonAutostart && !autostart) return true;
    if (!o.registryGet && edge && Has(line, " color = green,")) return true;
    if (!o.registrySet && edge && Has(line, " color = red,")) return true;
  }
  if (HasIdStart(line, "FILE:")) {
    if (!o.files) return true;
    if (!o.filesBulkCategories) {
      for (std::string_view c : {"GRAFX", "CSS", "HTML", "JAVASCRIPT", "XML", "FLASH", "COOKIES"}) {
        if (HasIdStart(line, "FILE:" + std::string(c))) return true;
      }
    }
    if (!o.filesRead && edge && Has(line, " color = green,")) return true;
    if (!o.filesWrite && edge && Has(line, " color = red,")) return true;
  }
  if (!o.files) return false;
  if (!o.filesCreate && GetEdgeType(line) == EDGETYPE_CreateFile) return true;
  if (!o.filesDelete && GetEdgeType(line) == EDGETYPE_DeleteFile) return true;
  if (!o.filesBasedOn && GetEdgeType(line) == EDGETYPE_IsBasedOn) return true;
  if (!o.filesLoads && GetEdgeType(line) == EDGETYPE_LoadsImage) return true;
  return false;
}

// Whether the text may hold a character the canvas writes out: a control character or, in
// a multi-byte sequence, a writing-direction mark.
bool MayHideCharacters(std::string_view text) {
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F) return true;
  }
  return false;
}

// The line with its label in the form the canvas draws it (ShownLabel's written-out
// characters), so that dot makes the box as wide as the text that goes into it: a tab or a
// direction mark counts for little in dot's measure but is drawn as six or eight
// characters. The ids stay as they are, since the plain layout names its nodes by them.
std::string LabelAsShown(std::string line) {
  if (!MayHideCharacters(line)) return line;
  constexpr std::string_view kLabel = "label = ";
  size_t from = 0;
  while (true) {
    size_t open = line.find('"', from);
    if (open == std::string::npos) return line;
    size_t next = 0;
    std::string_view text = detail::QuotedText(line, open, &next);
    // Outside the quotes: only the statement's own syntax, never text from the log.
    std::string_view before = std::string_view(line).substr(from, open - from);
    if (before.size() >= kLabel.size() && before.substr(before.size() - kLabel.size()) == kLabel &&
        MayHideCharacters(text)) {
      std::string shown = tolvek::VisibleText(text);
      line.replace(open + 1, text.size(), shown);
      next += shown.size() - text.size();
    }
    from = next;
  }
}

}  // namespace

FilteredGraph FilterGraphDot(std::string_view dotText, const std::vector<std::string>& autostartIds,
                             const RenderOptions& options, std::string_view labelMode) {
  TOLVEK_TRACE("FilterGraphDot");
  FilteredGraph out;
  out.graphDot.reserve(dotText.size() + dotText.size() / 16);
  out.layoutDot.reserve(dotText.size() + dotText.size() / 16);
  std::unordered_set<std::string_view> autostart(autostartIds.begin(), autostartIds.end());
  WalkDot(
      dotText,
      [&](std::string_view line) {
        AppendLine(out.graphDot, line);
        AppendLine(out.layoutDot, line);
      },
      [&](std::string_view line) {
        bool isAutostart = false;
        if (!autostart.empty()) {
          ForEachQuotedId(line, {"REGISTRY"}, [&](std::string_view id) {
            isAutostart = isAutostart || autostart.contains(id);
          });
        }
        if (Dropped(line, isAutostart, options)) return;
        AppendLine(out.graphDot, line);
        AppendLine(out.layoutDot, LabelAsShown(ApplyEdgeLabelMode(line, labelMode)));
        if (Has(line, kArrow)) {
          ForEachQuotedId(line, {"REGISTRY", "FILE:"},
                          [&](std::string_view id) { out.usedIds.emplace(id); });
        }
      });
  return out;
}

std::string DropUnusedNodes(std::string_view graphDot,
                            const std::unordered_set<std::string>& usedIds) {
  TOLVEK_TRACE("DropUnusedNodes");
  std::string out;
  out.reserve(graphDot.size());
  WalkDot(
      graphDot, [&](std::string_view line) { AppendLine(out, line); },
      [&](std::string_view line) {
        if (!Has(line, kArrow) && (HasIdStart(line, "REGISTRY") || HasIdStart(line, "FILE:"))) {
          bool used = false;
          ForEachQuotedId(line, {"REGISTRY", "FILE:"}, [&](std::string_view id) {
            used = used || usedIds.contains(std::string(id));
          });
          if (!used) return;
        }
        AppendLine(out, line);
      });
  return out;
}

std::vector<std::string> DotArguments(const std::string& plainPath,
                                      const std::string& layoutDotPath) {
  return {"-v", "-Tplain", "-o" + plainPath, layoutDotPath};
}

}  // namespace graphview
