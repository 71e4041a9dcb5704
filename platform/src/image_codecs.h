// PNG and JPEG through libpng and libjpeg; BMP read through Qt's image I/O and written by
// hand; all on ARGB32 images.
#pragma once

#include <QImage>

#include <cstddef>
#include <string>

namespace platform::detail {

// A null image for anything that is not a complete, valid file of that format.
QImage DecodePng(const void* data, size_t size);
QImage DecodeJpeg(const void* data, size_t size);
QImage DecodeBmp(const void* data, size_t size);
// Written through a temporary file beside the target and a rename; false on any failure.
bool WritePng(const QImage& image, const std::string& path);
bool WriteJpeg(const QImage& image, const std::string& path, int quality);
bool WriteBmp(const QImage& image, const std::string& path);

}  // namespace platform::detail
