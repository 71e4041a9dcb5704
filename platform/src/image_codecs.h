// PNG and JPEG through libpng and libjpeg; BMP read through Qt's image I/O and written by
// hand; TGA written by hand; ICO and TIFF written through Qt's image plugins; all on ARGB32
// images.
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::detail {

// The largest picture a decoder may make. A file declaring more is refused before any pixel
// memory is taken, and exceeded is set.
struct DecodeLimit {
  int64_t maxSide = 0, maxPixels = 0;
  bool exceeded = false;
};

// A null image for anything that is not a complete, valid file of that format.
QImage DecodePng(const void* data, size_t size, DecodeLimit* limit = nullptr);
QImage DecodeJpeg(const void* data, size_t size, DecodeLimit* limit = nullptr);
QImage DecodeBmp(const void* data, size_t size, DecodeLimit* limit = nullptr);
// Written through the whole-file writer (a temporary file beside the target and a rename, the
// target's permissions kept, a read-only target refused); false on any failure.
bool WritePng(const QImage& image, const std::string& path);
bool WriteJpeg(const QImage& image, const std::string& path, int quality);
bool WriteBmp(const QImage& image, const std::string& path);
bool WriteTga(const QImage& image, const std::string& path);
// format: the name of a Qt image plugin's format ("ico", "tiff").
bool WriteThroughPlugin(const QImage& image, const std::string& path, const char* format);

}  // namespace platform::detail
