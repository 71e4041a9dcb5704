// Fonts and images by number.
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>

#include "image_codecs.h"
#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

int LoadFont(int font, const std::string& face, int points, uint32_t style) {
  TOLVEK_TRACE("LoadFont");
  if (points <= 0) return 0;
  auto f = std::make_shared<QFont>();
  if (!face.empty()) f->setFamily(Q(face));
  f->setPointSize(points);
  f->setBold(style & kFontBold);
  f->setItalic(style & kFontItalic);
  f->setUnderline(style & kFontUnderline);
  f->setStrikeOut(style & kFontStrikeOut);
  if (font == kNewNumber) font = NewNumber();
  Layer().fonts[font] = f;
  return font;
}

bool IsFont(int font) {
  return Layer().fonts.count(font) > 0;
}
void FreeFont(int font) {
  Layer().fonts.erase(font);
}

namespace {
QFont* FontOf(int font) {
  auto& fonts = Layer().fonts;
  auto it = fonts.find(font);
  return it == fonts.end() ? nullptr : it->second.get();
}
}  // namespace

std::string FontFace(int font) {
  QFont* f = FontOf(font);
  return f ? U(f->family()) : std::string();
}
int FontPoints(int font) {
  QFont* f = FontOf(font);
  return f ? f->pointSize() : 0;
}
uint32_t FontStyleOf(int font) {
  QFont* f = FontOf(font);
  if (!f) return 0;
  uint32_t style = 0;
  if (f->bold()) style |= kFontBold;
  if (f->italic()) style |= kFontItalic;
  if (f->underline()) style |= kFontUnderline;
  if (f->strikeOut()) style |= kFontStrikeOut;
  return style;
}

namespace {
int Store(int image, QImage data) {
  if (data.isNull()) return 0;
  if (image == kNewNumber) image = NewNumber();
  Layer().images[image] = std::make_shared<QImage>(std::move(data));
  return image;
}
QColor ToQColorA(uint32_t rgba) {
  return QColor(int(rgba & 0xFF), int((rgba >> 8) & 0xFF), int((rgba >> 16) & 0xFF),
                int((rgba >> 24) & 0xFF));
}
}  // namespace

int CreateImage(int image, int width, int height, uint32_t colour) {
  TOLVEK_TRACE("CreateImage");
  if (width <= 0 || height <= 0) return 0;
  // Non-premultiplied, so raster operations keep exact colours.
  QImage data(width, height, QImage::Format_ARGB32);
  if (data.isNull()) return 0;
  data.fill(ToQColorA(colour));
  return Store(image, std::move(data));
}

int CopyImage(int image, int copy) {
  QImage* data = ImageData(image);
  return data ? Store(copy, data->copy()) : 0;
}

int GrabImage(int image, int copy, int x, int y, int w, int h) {
  QImage* data = ImageData(image);
  if (!data || w <= 0 || h <= 0) return 0;
  QRect part = QRect(x, y, w, h).intersected(data->rect());
  if (part.isEmpty()) return 0;
  return Store(copy, data->copy(part));
}

int GrabCanvasImage(int gadget, int copy) {
  QImage* shown = CanvasBuffer(gadget);
  return shown ? Store(copy, shown->convertToFormat(QImage::Format_ARGB32)) : 0;
}

namespace {
QImage Decode(const void* data, size_t size, DecodeLimit* limit) {
  QImage decoded = DecodePng(data, size, limit);
  for (auto decode : {DecodeJpeg, DecodeBmp}) {
    if (!decoded.isNull() || (limit && limit->exceeded)) break;
    decoded = decode(data, size, limit);
  }
  return decoded;
}
}  // namespace

int CatchImage(int image, const void* data, size_t size) {
  TOLVEK_TRACE("CatchImage");
  return Store(image, Decode(data, size, nullptr));
}

int LoadImage(int image, const std::string& path) {
  TOLVEK_TRACE("LoadImage");
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  QByteArray bytes = file.readAll();
  return CatchImage(image, bytes.constData(), size_t(bytes.size()));
}

int LoadImageWithin(int image, const std::string& path, int64_t maxSide, int64_t maxPixels,
                    bool& tooLarge) {
  TOLVEK_TRACE("LoadImageWithin");
  tooLarge = false;
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  QByteArray bytes = file.readAll();
  DecodeLimit limit{maxSide, maxPixels};
  const int stored = Store(image, Decode(bytes.constData(), size_t(bytes.size()), &limit));
  tooLarge = limit.exceeded;
  return stored;
}

bool SaveImage(int image, const std::string& path, int format, int quality) {
  TOLVEK_TRACE("SaveImage");
  QImage* data = ImageData(image);
  if (!data) return false;
  switch (format) {
    case kImageJpeg:
      return WriteJpeg(*data, path, quality);
    case kImageBmp:
      return WriteBmp(*data, path);
    case kImageTga:
      return WriteTga(*data, path);
    case kImageIco:
      return WriteThroughPlugin(*data, path, "ico");
    case kImageTiff:
      return WriteThroughPlugin(*data, path, "tiff");
    default:
      return WritePng(*data, path);
  }
}

bool IsImage(int image) {
  return ImageData(image) != nullptr;
}
void FreeImage(int image) {
  Layer().images.erase(image);
}
int ImageWidth(int image) {
  QImage* data = ImageData(image);
  return data ? data->width() : 0;
}
int ImageHeight(int image) {
  QImage* data = ImageData(image);
  return data ? data->height() : 0;
}

uint32_t ImagePixel(int image, int x, int y) {
  QImage* data = ImageData(image);
  if (!data || !data->valid(x, y)) return 0;
  QRgb p = data->pixel(x, y);
  if (data->format() == QImage::Format_ARGB32_Premultiplied) p = qUnpremultiply(p);
  return Rgba(uint32_t(qRed(p)), uint32_t(qGreen(p)), uint32_t(qBlue(p)), uint32_t(qAlpha(p)));
}

void SetImagePixel(int image, int x, int y, uint32_t rgba) {
  QImage* data = ImageData(image);
  if (!data || !data->valid(x, y)) return;
  // Exact, as raster drawing is; opaque pixels are the same in both layouts.
  if (data->format() == QImage::Format_ARGB32_Premultiplied && (rgba >> 24) != 255)
    data->convertTo(QImage::Format_ARGB32);
  data->setPixel(x, y,
                 qRgba(int(rgba & 0xFF), int((rgba >> 8) & 0xFF), int((rgba >> 16) & 0xFF),
                       int((rgba >> 24) & 0xFF)));
}

QImage* ImageData(int image) {
  auto& images = Layer().images;
  auto it = images.find(image);
  return it == images.end() ? nullptr : it->second.get();
}

}  // namespace platform
