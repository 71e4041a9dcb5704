// Showing the picture with its items, and flattening them into one picture. A repaint
// redraws only the part of the canvas where something changed since the last one.
#include <cmath>
#include <map>

#include "editor_internal.h"
#include "imageeditor/annotation_render.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor::detail {

namespace {

int R(double v) {
  return int(RoundEven(v));
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  const int64_t x1 = std::min(a.x, b.x), y1 = std::min(a.y, b.y);
  const int64_t x2 = std::max(a.x + a.width, b.x + b.width);
  const int64_t y2 = std::max(a.y + a.height, b.y + b.height);
  return {x1, y1, x2 - x1, y2 - y1};
}

PixelRect Positive(int64_t x, int64_t y, int64_t w, int64_t h) {
  if (w < 0) x += w, w = -w;
  if (h < 0) y += h, h = -h;
  return {x, y, w, h};
}

bool Intersects(const PixelRect& a, const PixelRect& b) {
  return !a.Empty() && !b.Empty() && a.x < b.x + b.width && b.x < a.x + a.width &&
         a.y < b.y + b.height && b.y < a.y + a.height;
}

bool DrawsShadow(const AnnotationObject& o) {
  return o.Property("Shadow") == "1" && o.inittype != kKindHighlighter && o.inittype != kKindText;
}

// Where an item's pictures land on the canvas and what they look like.
// An object's pictures: its shadow (when it casts one) at (sx, sy), then the object at (x, y),
// a highlighter through its filter.
void DrawObjectPictures(const AnnotationObject& o, int sx, int sy, int x, int y, int w, int h) {
  using namespace platform;
  if (DrawsShadow(o)) {
    DrawingMode(kDrawAlphaBlend);
    DrawImage(o.shadowImage, sx, sy, w, h);
  }
  if (o.inittype == kKindHighlighter) {
    DrawingMode(kDrawCustomFilter);
    CustomFilterCallback(HighlighterFilter);
  } else {
    DrawingMode(kDrawAlphaBlend);
  }
  DrawImage(o.image, x, y, w, h);
}

DrawnEntry ItemEntry(const EditorState& s, const CanvasItem& item) {
  DrawnEntry e;
  e.owner = &item;
  const int x = R(item.x), y = R(item.y);
  const int w = R(item.width * item.scale), h = R(item.height * item.scale);
  e.bounds = Positive(x, y, w, h);
  e.look = std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," +
           std::to_string(h);
  if (item.kind == kItemImage) {
    e.look += ",I" + std::to_string(item.image);
  } else if (item.kind == kItemAnnotation && item.object) {
    const AnnotationObject& o = *item.object;
    if (!o.image) {
      e.bounds = {};
      e.look += ",none";
    } else {
      e.look += ",A" + std::to_string(o.inittype) + o.renderedFrom;
      if (DrawsShadow(o)) {
        e.bounds = Union(e.bounds, Positive(R(item.x + 3 * s.zoom), R(item.y + 5 * s.zoom), w, h));
        e.look += ",S";
      }
    }
  }
  return e;
}

void DrawItem(const EditorState& s, const CanvasItem& item, int ox, int oy) {
  using namespace platform;
  const int x = R(item.x) - ox, y = R(item.y) - oy;
  const int w = R(item.width * item.scale), h = R(item.height * item.scale);
  if (item.kind == kItemImage) {
    if (!item.image) return;
    DrawingMode(kDrawDefault);
    DrawImage(item.image, x, y, w, h);
    return;
  }
  if (item.kind != kItemAnnotation || !item.object || !item.object->image) return;
  DrawObjectPictures(*item.object, R(item.x + 3 * s.zoom) - ox, R(item.y + 5 * s.zoom) - oy, x, y,
                     w, h);
}

// Everything of the view inside the box (canvas pixels), drawn into the current output with
// the box's corner at (0, 0).
void Compose(const EditorState& s, const PixelRect& box, bool dimming) {
  using namespace platform;
  const int ox = int(box.x), oy = int(box.y);
  DrawingMode(kDrawDefault);
  DrawImage(s.zoomed, -ox, -oy);
  if (dimming) {
    const PixelRect hole =
        Positive(R(s.region.x), R(s.region.y), R(s.region.width), R(s.region.height));
    const int w = int(box.width), h = int(box.height);
    const uint32_t dim = Rgba(0, 0, 0, 128);
    DrawingMode(kDrawAlphaBlend);
    const int hx = int(hole.x) - ox, hy = int(hole.y) - oy;
    const int hw = int(hole.width), hh = int(hole.height);
    auto box4 = [&](int x1, int y1, int x2, int y2) {
      x1 = std::max(x1, 0), y1 = std::max(y1, 0), x2 = std::min(x2, w), y2 = std::min(y2, h);
      if (x2 > x1 && y2 > y1) Box(x1, y1, x2 - x1, y2 - y1, dim);
    };
    box4(0, 0, w, hy);
    box4(0, hy + hh, w, h);
    box4(0, hy, hx, hy + hh);
    box4(hx + hw, hy, w, hy + hh);
  }
  for (const auto& item : s.items)
    if (Intersects(ItemEntry(s, *item).bounds, box)) DrawItem(s, *item, ox, oy);
  if (CanvasItem* selected = s.SelectedItem()) {
    DrawingMode(kDrawDefault | kDrawOutlined);
    Box(R(selected->x) - ox, R(selected->y) - oy, R(selected->width), R(selected->height),
        Rgb(255, 0, 0));
  }
}

}  // namespace

void SyncObject(CanvasItem& item) {
  if (!item.object) return;
  item.object->x = RoundEven(item.x);
  item.object->y = RoundEven(item.y);
  item.object->width = RoundEven(item.width);
  item.object->height = RoundEven(item.height);
}

void Repaint(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Repaint");
  using namespace platform;
  const int64_t W = s.Width(), H = s.Height();
  bool full = !s.drawnValid;
  if (s.zoom != s.zoomedFor || !s.zoomed) {
    if (s.zoomed) FreeImage(s.zoomed);
    const int zw = std::max(1, int(std::ceil(W * s.zoom))),
              zh = std::max(1, int(std::ceil(H * s.zoom)));
    s.zoomed = CopyImage(s.working, kNewNumber);
    if (s.zoomed && (zw != W || zh != H)) {
      int scaled = CreateImage(kNewNumber, zw, zh, 0);
      StartDrawing(ImageOutput(scaled));
      DrawImage(s.working, 0, 0, zw, zh);
      StopDrawing();
      FreeImage(s.zoomed);
      s.zoomed = scaled;
    }
    s.zoomedFor = s.zoom;
    full = true;
  }
  for (auto& item : s.items) {
    if (item->kind != kItemAnnotation || !item->object) continue;
    SyncObject(*item);
    RenderAnnotation(*item->object, s.zoom);
  }

  // What is drawn now, and where it differs from the last repaint.
  const bool dimming = s.RegionSelected() && s.region.width != 0 && s.region.height != 0;
  std::vector<DrawnEntry> now;
  DrawnEntry dim;
  dim.owner = &s.region;
  if (dimming)
    dim.look = std::to_string(R(s.region.x)) + "," + std::to_string(R(s.region.y)) + "," +
               std::to_string(R(s.region.width)) + "," + std::to_string(R(s.region.height));
  now.push_back(dim);
  for (const auto& item : s.items) now.push_back(ItemEntry(s, *item));
  DrawnEntry outline;
  outline.owner = &s.selection;
  if (CanvasItem* selected = s.SelectedItem()) {
    outline.bounds =
        Positive(R(selected->x), R(selected->y), R(selected->width), R(selected->height));
    outline.bounds.width += 1, outline.bounds.height += 1;
    outline.look = "O";
  }
  now.push_back(outline);

  PixelRect dirty;
  if (!full) {
    if (s.drawn.empty() || s.drawn.front().look != dim.look) full = true;
    std::map<const void*, const DrawnEntry*> before;
    for (const DrawnEntry& e : s.drawn) before[e.owner] = &e;
    for (const DrawnEntry& e : now) {
      auto it = before.find(e.owner);
      if (it == before.end()) {
        dirty = Union(dirty, e.bounds);
        continue;
      }
      if (it->second->look != e.look || !(it->second->bounds == e.bounds))
        dirty = Union(Union(dirty, e.bounds), it->second->bounds);
      before.erase(it);
    }
    for (const auto& [owner, e] : before) dirty = Union(dirty, e->bounds);
  }
  s.drawn = std::move(now);
  s.drawnValid = true;

  if (!IsGadget(s.canvas)) return;
  const PixelRect canvas{0, 0, GadgetWidth(s.canvas), GadgetHeight(s.canvas)};
  ++s.repaints;
  if (full) {
    if (!StartDrawing(CanvasOutput(s.canvas))) return;
    Compose(s, {0, 0, OutputWidth(), OutputHeight()}, dimming);
    StopDrawing();
    return;
  }
  // The changed part, clipped to the canvas.
  const int64_t x1 = std::max(dirty.x, canvas.x), y1 = std::max(dirty.y, canvas.y);
  const int64_t x2 = std::min(dirty.x + dirty.width, canvas.width);
  const int64_t y2 = std::min(dirty.y + dirty.height, canvas.height);
  if (x2 <= x1 || y2 <= y1) return;
  ++s.partialRepaints;
  const PixelRect box{x1, y1, x2 - x1, y2 - y1};
  int patch = CreateImage(kNewNumber, int(box.width), int(box.height), 0);
  if (!patch) return;
  StartDrawing(ImageOutput(patch));
  Compose(s, box, dimming);
  StopDrawing();
  if (StartDrawing(CanvasOutput(s.canvas))) {
    DrawImage(patch, int(box.x), int(box.y));
    StopDrawing();
  }
  FreeImage(patch);
}

int FlattenPicture(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Flatten");
  using namespace platform;
  const double z = s.zoom;
  int picture = CreateImage(kNewNumber, int(s.Width()), int(s.Height()), Rgba(0, 0, 0, 0));
  if (!picture) return 0;
  for (auto& item : s.items) {
    if (item->kind != kItemAnnotation || !item->object) continue;
    AnnotationObject& o = *item->object;
    o.x = RoundEven(item->x / z), o.y = RoundEven(item->y / z);
    o.width = RoundEven(item->width / z), o.height = RoundEven(item->height / z);
    RenderAnnotation(o, 1.0);
  }
  StartDrawing(ImageOutput(picture));
  DrawingMode(kDrawDefault);
  DrawImage(s.working, 0, 0);
  for (auto& item : s.items) {
    const int x = R(item->x / z), y = R(item->y / z);
    const int w = R(item->width * item->scale / z), h = R(item->height * item->scale / z);
    if (item->kind == kItemImage && item->image) {
      DrawingMode(kDrawDefault);
      DrawImage(item->image, x, y, w, h);
    } else if (item->kind == kItemAnnotation && item->object && item->object->image) {
      // The shadow's offset in picture pixels, as it shows at 1:1.
      DrawObjectPictures(*item->object, R(item->x / z + 3), R(item->y / z + 5), x, y, w, h);
    }
  }
  StopDrawing();
  // The objects are shown at the view's zoom again.
  for (auto& item : s.items) {
    if (item->kind != kItemAnnotation || !item->object) continue;
    SyncObject(*item);
    RenderAnnotation(*item->object, s.zoom);
  }
  return picture;
}

}  // namespace imageeditor::detail
