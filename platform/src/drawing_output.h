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
  return resolved;
}

// Outputs hold one of two layouts of 0xAARRGGBB words: non-premultiplied, where the raster
// operations keep exact colours, or premultiplied, which QPainter draws on fast and a canvas
// shows without conversion. Opaque pixels are the same in both. An output changes layout only
// where the two kinds of drawing meet, once for the whole image, never per call.
constexpr QImage::Format kStraight = QImage::Format_ARGB32;
constexpr QImage::Format kPremultiplied = QImage::Format_ARGB32_Premultiplied;

inline void ToLayout(QImage& image, QImage::Format format) {
  if (image.format() != format) image.convertTo(format);
}

inline QRgb ToQRgb(uint32_t colour) {
  return qRgba(int(Red(colour)), int(Green(colour)), int(Blue(colour)), int(Alpha(colour)));
}
inline uint32_t FromQRgb(QRgb pixel) {
  return Rgba(uint32_t(qRed(pixel)), uint32_t(qGreen(pixel)), uint32_t(qBlue(pixel)),
              uint32_t(qAlpha(pixel)));
}

}  // namespace platform::detail
