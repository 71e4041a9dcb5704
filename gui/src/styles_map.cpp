// The overview strip beside the editor: where in the whole text styles and indicators lie.
#include <algorithm>
#include <cmath>
#include <map>

#include "gui/scintilla_wrapper.h"
#include "platform/drawing.h"
#include "platform/scintilla_codes.h"
#include "platform/window_system.h"
#include "scintilla_module.h"
#include "tolvek/callstack.h"

namespace gui {

using Sci = platform::ScintillaCodes;
using detail::Send;
using detail::StylesMapBox;
using detail::StylesMapColour;
using detail::StylesMapRun;

namespace {

constexpr int kMapWidth = 20;
constexpr int kTopBand = 25;
constexpr uint32_t kBandGrey = platform::Rgb(200, 200, 200);

// Half-way values go to the even neighbour.
int Round(double v) {
  return int(std::nearbyint(v));
}

// Entries name styles by their number and indicators by minus theirs, so indicator 0 has
// no entry.
const StylesMapEntry* EntryOf(const std::vector<StylesMapEntry>& entries, const StylesMapRun& run) {
  if (run.indicator && run.number == 0) return nullptr;
  int64_t id = run.indicator ? -int64_t(run.number) : run.number;
  for (const auto& e : entries)
    if (e.id == id) return &e;
  return nullptr;
}

bool GivesWay(const std::vector<StylesMapEntry>& entries, const StylesMapRun& run) {
  const StylesMapEntry* e = EntryOf(entries, run);
  return e && e->exclusive;
}

void GiveWay(std::vector<const StylesMapRun*>& runs, const std::vector<StylesMapEntry>& entries) {
  if (runs.size() < 2) return;
  size_t yielding = 0;
  for (auto* r : runs) yielding += GivesWay(entries, *r);
  if (yielding > 0 && yielding < runs.size()) {
    std::erase_if(runs, [&](const StylesMapRun* r) { return GivesWay(entries, *r); });
  } else if (yielding == runs.size()) {
    int64_t smallest = 99'999'999;
    for (auto* r : runs) smallest = std::min(smallest, EntryOf(entries, *r)->priority);
    std::erase_if(runs,
                  [&](const StylesMapRun* r) { return EntryOf(entries, *r)->priority > smallest; });
  }
}

StylesMapColour ColourOf(const StylesMapRun& run, const std::vector<StylesMapColour>& styles,
                         const std::vector<StylesMapColour>& indicators) {
  const auto& table = run.indicator ? indicators : styles;
  return run.number >= 0 && size_t(run.number) < table.size() ? table[size_t(run.number)]
                                                              : StylesMapColour{};
}

// One column of a row set: the key's background, and for a style its foreground as a
// stripe over the middle third.
void AddColumn(std::vector<StylesMapBox>& boxes, const StylesMapRun& run, size_t j, size_t n, int y,
               int h, const std::vector<StylesMapColour>& styles,
               const std::vector<StylesMapColour>& indicators) {
  StylesMapColour colour = ColourOf(run, styles, indicators);
  double share = double(kMapWidth) / double(n);
  int width = kMapWidth / int(n);
  boxes.push_back({Round(double(j) * share), y, width, h, colour.back});
  if (!run.indicator)
    boxes.push_back({Round(double(j) * share + share * 0.33333333), y, Round(width * 0.33333333), h,
                     colour.fore});
}

void DrawCluster(std::vector<StylesMapBox>& boxes, const std::vector<StylesMapRun>& cluster,
                 const std::vector<StylesMapEntry>& entries,
                 const std::vector<StylesMapColour>& styles,
                 const std::vector<StylesMapColour>& indicators, bool pixelMode) {
  if (!pixelMode) {
    std::vector<const StylesMapRun*> set;
    for (const auto& r : cluster) set.push_back(&r);
    GiveWay(set, entries);
    for (size_t j = 0; j < set.size(); ++j)
      AddColumn(boxes, *set[j], j, set.size(), Round(set[j]->y), Round(set[j]->height), styles,
                indicators);
    return;
  }
  int first = Round(cluster.front().y);
  double last = 0;
  for (const auto& r : cluster) last = std::max(last, Round(r.y) + r.height);
  for (int y = first; y <= last; ++y) {
    std::vector<const StylesMapRun*> set;
    for (const auto& r : cluster)
      if (Round(r.y) <= y && Round(r.y) + r.height >= y) set.push_back(&r);
    GiveWay(set, entries);
    for (size_t j = 0; j < set.size(); ++j)
      AddColumn(boxes, *set[j], j, set.size(), y, 1, styles, indicators);
  }
}

// The boxes are opaque and never smoothed: raster drawing in its default mode.
void DrawBoxes(int image, int bottomBand, const std::vector<StylesMapBox>& boxes) {
  if (!platform::StartDrawing(platform::ImageOutput(image))) return;
  auto fill = [&](int x, int y, int w, int h, uint32_t c) {
    if (w > 0 && h > 0) platform::Box(x, y, w, h, c);
  };
  fill(0, 0, kMapWidth, kTopBand, kBandGrey);
  fill(0, platform::OutputHeight() - bottomBand, kMapWidth, bottomBand, kBandGrey);
  for (const auto& b : boxes) fill(b.x, b.y, b.w, b.h, b.colour);
  platform::StopDrawing();
}

}  // namespace

namespace detail {

std::vector<StylesMapBox> StylesMapBoxes(std::vector<StylesMapRun> runs,
                                         const std::vector<StylesMapEntry>& entries,
                                         const std::vector<StylesMapColour>& styleColours,
                                         const std::vector<StylesMapColour>& indicatorColours,
                                         bool pixelMode) {
  std::vector<StylesMapBox> boxes;
  size_t next = 0;
  auto sameKey = [](const StylesMapRun& a, const StylesMapRun& b) {
    return a.indicator == b.indicator && a.number == b.number;
  };
  while (next < runs.size()) {
    std::vector<StylesMapRun> cluster{runs[next++]};
    size_t current = 0;
    // Runs come in text order, so the first one that starts below the current run ends
    // the cluster: no later run can start within it.
    while (next < runs.size()) {
      const StylesMapRun& run = runs[next];
      StylesMapRun& cur = cluster[current];
      if (run.y < cur.y || run.y > cur.y + cur.height) break;
      if (sameKey(run, cur)) {
        cur.height = run.y + run.height - cur.y;
      } else {
        cluster.push_back(run);
        current = cluster.size() - 1;
      }
      ++next;
    }
    DrawCluster(boxes, cluster, entries, styleColours, indicatorColours, pixelMode);
  }
  return boxes;
}

}  // namespace detail

int Scintilla_RenderStylesMap(int gadget, int minimumHeight, bool freePrevious,
                              const std::vector<StylesMapEntry>* entries, bool pixelMode) {
  TOLVEK_TRACE("Scintilla_RenderStylesMap");
  static const std::vector<StylesMapEntry> kNone;
  const auto& list = entries ? *entries : kNone;
  auto& m = detail::Module();
  if (freePrevious && m.stylesMapImage && platform::IsImage(m.stylesMapImage))
    platform::FreeImage(m.stylesMapImage);
  // A gadget smaller than the bands still gets an image to show.
  int height = std::max(platform::GadgetHeight(gadget), 1);
  int image = platform::CreateImage(platform::kNewNumber, kMapWidth, height,
                                    platform::Rgba(255, 255, 255, 255));
  m.stylesMapImage = image;
  bool hscroll = Send(gadget, Sci::SCI_GETHSCROLLBAR) != 0;
  bool wraps = Send(gadget, Sci::SCI_GETWRAPMODE) != 0;
  int bottomBand = hscroll && !wraps ? 45 : 25;
  double area = double(height - kTopBand - bottomBand);

  std::vector<bool> skipped(256, false);
  for (const auto& e : list)
    if (e.skip && e.id >= 0 && e.id < 256) skipped[size_t(e.id)] = true;

  // Styles from the styled text, indicators from their runs: a few messages per run
  // instead of one per byte.
  int64_t length = Send(gadget, Sci::SCI_GETLENGTH);
  std::string styled(size_t(2 * length + 2), '\0');
  struct {
    long cpMin, cpMax;
    char* text;
  } range{0, long(length), styled.data()};
  Send(gadget, Sci::SCI_GETSTYLEDTEXT, 0, reinterpret_cast<intptr_t>(&range));
  auto styleAt = [&](int64_t pos) {
    return pos < length ? int(static_cast<unsigned char>(styled[size_t(2 * pos + 1)])) : 0;
  };
  int indicators = Scintilla_CountIndicatorStyles(gadget);
  std::vector<std::vector<std::pair<int64_t, int64_t>>> marks(static_cast<size_t>(indicators));
  for (int i = 0; i < indicators; ++i) {
    int64_t pos = 0;
    while (pos < length) {
      int64_t end = Send(gadget, Sci::SCI_INDICATOREND, uintptr_t(i), pos);
      if (end <= pos) end = length;
      if (Send(gadget, Sci::SCI_INDICATORVALUEAT, uintptr_t(i), pos) != 0)
        marks[size_t(i)].push_back({pos, end});
      pos = end;
    }
  }

  std::vector<int64_t> displayStarts = detail::DisplayLineStarts(gadget);
  int64_t lines = int64_t(displayStarts.size()) - 1;
  int64_t displayLines = displayStarts.back();
  double rowHeight = displayLines > 0 ? area / double(displayLines) : area;

  std::vector<StylesMapColour> styleColours(256), indicatorColours(static_cast<size_t>(indicators));
  std::vector<bool> styleSeen(256, false);
  for (int i = 0; i < indicators; ++i)
    indicatorColours[size_t(i)].back = uint32_t(Send(gadget, Sci::SCI_INDICGETFORE, uintptr_t(i)));

  std::vector<StylesMapRun> runs;
  std::vector<size_t> cursor(size_t(indicators), 0);
  for (int64_t line = 0; line < lines; ++line) {
    int64_t from = Send(gadget, Sci::SCI_POSITIONFROMLINE, uintptr_t(line));
    int64_t to = Send(gadget, Sci::SCI_GETLINEENDPOSITION, uintptr_t(line));
    // (first position, order at that position, run) of each key of the line.
    std::vector<std::tuple<int64_t, int, StylesMapRun>> keys;
    std::vector<bool> lineStyle(256, false);
    for (int64_t pos = from; pos <= to; ++pos) {
      int s = styleAt(pos);
      if (s == 0 || skipped[size_t(s)] || lineStyle[size_t(s)]) continue;
      lineStyle[size_t(s)] = true;
      keys.emplace_back(pos, -1, StylesMapRun{0, 0, false, s});
      if (!styleSeen[size_t(s)]) {
        styleSeen[size_t(s)] = true;
        styleColours[size_t(s)] = {uint32_t(Send(gadget, Sci::SCI_STYLEGETFORE, uintptr_t(s))),
                                   uint32_t(Send(gadget, Sci::SCI_STYLEGETBACK, uintptr_t(s)))};
      }
    }
    for (int i = 0; i < indicators; ++i) {
      const auto& spans = marks[size_t(i)];
      size_t& c = cursor[size_t(i)];
      while (c < spans.size() && spans[c].second <= from) ++c;
      if (c < spans.size() && spans[c].first <= to)
        keys.emplace_back(std::max(spans[c].first, from), i, StylesMapRun{0, 0, true, i});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
      return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    int64_t before = displayStarts[size_t(line)];
    int64_t span = displayStarts[size_t(line) + 1] - before;
    for (auto& [pos, order, run] : keys) {
      run.y = kTopBand + double(before) * rowHeight;
      run.height = std::max(double(span) * rowHeight, double(minimumHeight));
      runs.push_back(run);
    }
  }

  DrawBoxes(
      image, bottomBand,
      detail::StylesMapBoxes(std::move(runs), list, styleColours, indicatorColours, pixelMode));
  return image;
}

}  // namespace gui
