// The commands on the selection and the picture: new objects and templates, select, crop,
// cut, copy, paste, delete, scaling and saving a flattened copy.
#include <algorithm>
#include <cmath>

#include "editor_internal.h"
#include "gui/input_requester_with_history.h"
#include "gui/list_icon_requester.h"
#include "gui/pick_list_markup.h"
#include "imageeditor/annotation_render.h"
#include "imageeditor/image_editor.h"
#include "picture_files.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor::detail {

namespace {

// The picture pixels of the region selection; empty when there is none on the picture.
PixelRect SelectedRegionRect(const EditorState& s) {
  if (!s.RegionSelected() || s.region.width == 0 || s.region.height == 0) return {};
  return RegionImageRect(s.region.x, s.region.y, s.region.width, s.region.height, s.zoom, s.Width(),
                         s.Height());
}

void ForgetZoomedCopy(EditorState& s) {
  s.zoomedFor = 0;
  s.drawnValid = false;
}

CanvasItem& NewAnnotationItem(EditorState& s) {
  CanvasItem& item = AppendItem(s, kItemAnnotation);
  item.x = 50, item.y = 50, item.width = 200, item.height = 100;
  item.object = std::make_unique<AnnotationObject>();
  return item;
}

}  // namespace

CanvasItem& AppendItem(EditorState& s, int kind) {
  s.items.push_back(std::make_unique<CanvasItem>(kind));
  return *s.items.back();
}

void DeleteItem(EditorState& s, CanvasItem* item) {
  for (auto it = s.items.begin(); it != s.items.end(); ++it) {
    if (it->get() != item) continue;
    // Nothing may go on editing an object that is gone.
    if (item->object && s.current == item->object.get()) {
      CloseToolWindows();
      s.current = nullptr;
    }
    if (s.selection == item) s.selection = nullptr;
    s.items.erase(it);
    return;
  }
}

void CreateAnnotation(EditorState& s, int64_t kind) {
  TOLVEK_TRACE("_EditImageRequester_CreateAnnotation");
  CanvasItem& item = NewAnnotationItem(s);
  AnnotationObject& o = *item.object;
  o.inittype = kind;
  o.type = ShapeOfKind(kind);
  o.properties = CreationDefaults(kind);
  SyncObject(item);
  ApplyStoredDefaults(s.annotations, o);
  SelectItem(s, &item);
  s.redraw = true;
}

void ShowTemplates(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Templates");
  std::string items = TemplateListItems(s.annotations);
  const std::string chosen = gui::ListIconRequester(
      "Templates ...", "", "Insert template by double-clicking", "|Type|Name|Text", "0|100|*|200",
      items, "", s.window, gui::LIR_RememberGeometry | gui::LIR_NoMarkup, "Templates");
  if (chosen.empty() || chosen == "***CANCEL***") return;
  const auto cells = gui::ResolveRowEscapes(chosen);
  if (cells.size() < 3) return;
  TemplateRecord record;
  if (!ReadTemplate(s.annotations, cells[2], record)) return;
  CanvasItem& item = NewAnnotationItem(s);
  AnnotationObject& o = *item.object;
  o.inittype = record.inittype;
  o.type = record.type;
  o.properties = record.properties;
  if (record.hasX) item.x = double(record.x);
  if (record.hasY) item.y = double(record.y);
  if (record.hasWidth) item.width = double(record.width);
  if (record.hasHeight) item.height = double(record.height);
  const double W = s.Width() * s.zoom, H = s.Height() * s.zoom;
  if (item.x + item.width > W) item.x = W - item.width - 10;
  if (item.y + item.height > H) item.y = H - item.height - 10;
  SyncObject(item);
  SelectItem(s, &item);
  s.redraw = true;
}

void SelectAll(EditorState& s) {
  s.selection = &s.region;
  s.region.x = s.region.y = 0;
  s.region.width = s.Width() * s.zoom;
  s.region.height = s.Height() * s.zoom;
  s.redraw = true;
}

void SelectNone(EditorState& s) {
  s.selection = nullptr;
  s.redraw = true;
}

void SelectRectangle(EditorState& s) {
  s.selection = &s.region;
  const double W = s.Width() * s.zoom, H = s.Height() * s.zoom;
  const double sw = platform::GadgetWidth(s.scroll), sh = platform::GadgetHeight(s.scroll);
  const double vw = sw <= W ? sw : W, vh = sh <= H ? sh : H;
  s.region.x = 0.1 * vw, s.region.y = 0.1 * vh;
  s.region.width = vw - 2 * s.region.x;
  s.region.height = vh - 2 * s.region.y;
  s.redraw = true;
}

void Crop(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Crop");
  CanvasItem* sel = s.selection;
  if (!sel || sel->width == 0 || sel->height == 0) return;
  const PixelRect r =
      RegionImageRect(sel->x, sel->y, sel->width, sel->height, s.zoom, s.Width(), s.Height());
  if (r.Empty()) return;
  int cropped = platform::GrabImage(s.working, platform::kNewNumber, int(r.x), int(r.y),
                                    int(r.width), int(r.height));
  if (!cropped) return;
  platform::FreeImage(s.working);
  s.working = cropped;
  ForgetZoomedCopy(s);
  // The items stay on the part of the picture they mark.
  const double dx = r.x * s.zoom, dy = r.y * s.zoom;
  for (auto& item : s.items) item->x -= dx, item->y -= dy;
  ResizeCanvas(s, int(RoundEven(r.width * s.zoom)), int(RoundEven(r.height * s.zoom)));
  if (s.RegionSelected()) s.region.Clear();
  s.selection = nullptr;
  s.redraw = true;
  QueueMenu(s, kMenuFit);
}

void Cut(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Cut");
  using namespace platform;
  if (CanvasItem* item = s.SelectedItem()) {
    QueueMenu(s, kMenuCopy);
    QueueMenu(s, kMenuDelete);
    (void)item;
    return;
  }
  const PixelRect r = SelectedRegionRect(s);
  if (r.Empty()) return;
  int piece = GrabImage(s.working, kNewNumber, int(r.x), int(r.y), int(r.width), int(r.height));
  if (piece) {
    SetClipboardImage(piece);
    FreeImage(piece);
  }
  if (StartDrawing(ImageOutput(s.working))) {
    Box(int(r.x), int(r.y), int(r.width), int(r.height), 0);
    StopDrawing();
  }
  ForgetZoomedCopy(s);
  s.region.Clear();
  s.selection = nullptr;
  s.redraw = true;
}

void Copy(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Copy");
  using namespace platform;
  if (CanvasItem* item = s.SelectedItem()) {
    if (item->kind == kItemImage && item->image) {
      SetClipboardImage(item->image);
    } else if (item->kind == kItemAnnotation && item->object) {
      ClipboardAnnotation a;
      a.scale = item->scale, a.width = item->width, a.height = item->height;
      a.inittype = item->object->inittype, a.type = item->object->type;
      a.properties = item->object->properties;
      SetClipboardText(AnnotationClipboardText(a));
    }
    return;
  }
  const PixelRect r = SelectedRegionRect(s);
  if (r.Empty()) return;
  if (int piece =
          GrabImage(s.working, kNewNumber, int(r.x), int(r.y), int(r.width), int(r.height))) {
    SetClipboardImage(piece);
    FreeImage(piece);
  }
}

void Paste(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Paste");
  using namespace platform;
  const std::string text = GetClipboardText();
  if (text.empty()) {
    int picture = GetClipboardImage(kNewNumber);
    if (!picture) return;
    if (PictureTooLarge(picture)) {
      FreeImage(picture);
      return;
    }
    // A pasted picture comes without transparency: its see-through pixels would otherwise
    // replace the picture's own under them.
    if (StartDrawing(ImageOutput(picture))) {
      DrawingMode(kDrawAlphaChannel);
      Box(0, 0, ImageWidth(picture), ImageHeight(picture), Rgba(0, 0, 0, 255));
      StopDrawing();
    }
    CanvasItem& item = AppendItem(s, kItemImage);
    item.image = picture;
    item.x = item.y = 50;
    item.width = ImageWidth(picture) * s.zoom;
    item.height = ImageHeight(picture) * s.zoom;
    SelectItem(s, &item);
    s.redraw = true;
    return;
  }
  const auto pasted = ParseAnnotationClipboardText(text);
  if (!pasted) return;
  CanvasItem& item = NewAnnotationItem(s);
  // No larger than a resize could stretch it: the picture's own size.
  const double W = std::max(1.0, s.Width() * s.zoom), H = std::max(1.0, s.Height() * s.zoom);
  item.scale = pasted->scale;
  item.width = std::clamp(pasted->width, -W, W), item.height = std::clamp(pasted->height, -H, H);
  item.object->inittype = pasted->inittype;
  item.object->type = pasted->type;
  item.object->properties = pasted->properties;
  SyncObject(item);
  SelectItem(s, &item);
  s.redraw = true;
}

void Delete(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Delete");
  CanvasItem* item = s.SelectedItem();
  if (!item) return;
  DeleteItem(s, item);
  s.selection = nullptr;
  s.redraw = true;
}

void ScaleImageToZoom(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_ScaleImage");
  using namespace platform;
  const int w = std::max(1, int(RoundEven(s.Width() * s.zoom)));
  const int h = std::max(1, int(RoundEven(s.Height() * s.zoom)));
  int scaled = CreateImage(kNewNumber, w, h, 0);
  if (!scaled) return;
  StartDrawing(ImageOutput(scaled));
  DrawImage(s.working, 0, 0, w, h);
  StopDrawing();
  FreeImage(s.working);
  s.working = scaled;
  ForgetZoomedCopy(s);
  s.zoomMode = kZoomOneToOne;
  // The items' view coordinates are image coordinates of the new picture.
  s.zoom = 1.0;
  ResizeCanvas(s, w, h);
  ShowZoom(s);
  s.redraw = true;
}

void SaveBitmap(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_SaveBitmap");
  using namespace platform;
  std::string name = SaveFileRequester(
      "Save bitmap ...", "", "PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|JPG (*.jpg)|*.jpg;*.jpeg", 0);
  if (name.empty()) return;
  const size_t slash = name.find_last_of('/'), dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    static const char* const kExtensions[] = {".png", ".bmp", ".jpg"};
    const int pattern = SelectedFilePattern();
    name += kExtensions[pattern >= 0 && pattern < 3 ? pattern : 0];
  }
  const int format = PictureFormatOf(name);
  if (!format) {
    MessageRequester(
        s.title, "Pictures can be saved as PNG, BMP or JPG only; '" + name + "' was not written.");
    return;
  }
  int picture = FlattenPicture(s);
  const bool written = picture && WritePictureFile(picture, name, format);
  if (picture) FreeImage(picture);
  if (!written) MessageRequester(s.title, "Couldn't save the picture to '" + name + "'!");
}

}  // namespace imageeditor::detail
