// Finding the pixels behind a drawing output, shared by raster and vector drawing.
#pragma once

#include <QImage>

#include <memory>

#include "layer_state.h"
#include "platform/drawing.h"

namespace platform::detail {

enum DrawOutputKind : int { kOutputImage = 1, kOutputCanvas = 2 };

struct ResolvedOutput {
  // Shared with the image table, so freeing the image mid-drawing leaves no dangling pixels.
  std::shared_ptr<QImage> image;
  int canvas = -1;  // the gadget to show again when the drawing stops
};

inline ResolvedOutput Resolve(DrawOutput output) {
  ResolvedOutput resolved;
  auto& s = Layer();
  if (output.kind == kOutputImage) {
    auto it = s.images.find(output.number);
    if (it != s.images.end()) resolved.image = it->second;
  } else if (output.kind == kOutputCanvas) {
    auto it = s.gadgets.find(output.number);
    if (it != s.gadgets.end() && it->second.widget && it->second.canvas) {
      resolved.image = it->second.canvas;
      resolved.canvas = output.number;
    }
  }
  if (resolved.image && resolved.image->isNull()) resolved.image.reset();
  // Exact colour arithmetic needs one known layout: non-premultiplied 0xAARRGGBB words.
  if (resolved.image && resolved.image->format() != QImage::Format_ARGB32)
    *resolved.image = resolved.image->convertToFormat(QImage::Format_ARGB32);
  return resolved;
}

inline QRgb ToQRgb(uint32_t colour) {
  return qRgba(int(Red(colour)), int(Green(colour)), int(Blue(colour)), int(Alpha(colour)));
}
inline uint32_t FromQRgb(QRgb pixel) {
  return Rgba(uint32_t(qRed(pixel)), uint32_t(qGreen(pixel)), uint32_t(qBlue(pixel)),
              uint32_t(qAlpha(pixel)));
}

}  // namespace platform::detail
