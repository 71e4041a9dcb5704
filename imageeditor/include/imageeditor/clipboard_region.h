// The clipboard text of an annotation object, and the picture rectangle a region selection
// stands for: pure functions over text and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imageeditor/annotation_object.h"
#include "imageeditor/image_editor.h"

namespace imageeditor {

constexpr const char* kAnnotationClipboardMarker = "ImageEditorRequester.AnnotationObject:";

// A number with at most 10 decimals, trailing zeros and a trailing point dropped.
std::string ShortNumber(double value);

// What the clipboard carries of an object: the item's scale and view size, the object's
// kind, shape and properties (not its position).
struct ClipboardAnnotation {
  double scale = 1.0, width = 0, height = 0;
  int64_t inittype = 0, type = 0;
  PropertyMap properties;
};
std::string AnnotationClipboardText(const ClipboardAnnotation& annotation);
// nullopt for a text without the marker, and for one that is damaged or out of bounds: a
// number that is not finite, a scale outside (0, 100], a size larger than any picture the
// editor opens, too many or too long properties.
std::optional<ClipboardAnnotation> ParseAnnotationClipboardText(const std::string& text);
constexpr size_t kMaxPastedProperties = 64;
constexpr size_t kMaxPastedValue = 65536;

// A rectangle of whole pixels.
struct PixelRect {
  int64_t x = 0, y = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const PixelRect&) const = default;
};
// The picture pixels under a region given in view pixels (its size may be negative when it
// was drawn up or left): made positive, divided by the zoom, rounded and clipped to the
// picture of W x H. Empty when nothing of it lies on the picture.
PixelRect RegionImageRect(double x, double y, double w, double h, double zoom, int64_t W,
                          int64_t H);

}  // namespace imageeditor
