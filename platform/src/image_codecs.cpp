#include "image_codecs.h"

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tolvek/file_write.h"

namespace platform::detail {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

}  // namespace

QImage DecodePng(const void* data, size_t size) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return {};
  image.format = PNG_FORMAT_BGRA;  // the byte order of ARGB32 on little-endian machines
  QImage out(int(image.width), int(image.height), QImage::Format_ARGB32);
  if (out.isNull()) {
    png_image_free(&image);
    return {};
  }
  if (!png_image_finish_read(&image, nullptr, out.bits(), int(out.bytesPerLine()), nullptr)) {
    png_image_free(&image);
    return {};
  }
  return out;
}

QImage DecodeJpeg(const void* data, size_t size) {
  if (size < 3 || std::memcmp(data, "\xFF\xD8\xFF", 3) != 0) return {};
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = JpegFail;
  error.mgr.emit_message = JpegSilence;
  // Everything the jump skips is plain data; the decoder's own memory goes with destroy.
  QImage* volatile out = nullptr;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    delete out;
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out = new QImage(int(info.output_width), int(info.output_height), QImage::Format_ARGB32);
  if (out->isNull()) JpegFail(reinterpret_cast<j_common_ptr>(&info));
  std::vector<unsigned char> row(size_t(info.output_width) * 3);
  while (info.output_scanline < info.output_height) {
    unsigned char* rows[] = {row.data()};
    int y = int(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    auto* line = reinterpret_cast<QRgb*>(out->scanLine(y));
    for (unsigned x = 0; x < info.output_width; ++x)
      line[x] = qRgb(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  QImage result = *out;
  delete out;
  return result;
}

bool WritePng(const QImage& source, const std::string& path) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(image.width());
  png.height = png_uint_32(image.height());
  png.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.constBits(),
                                 png_int_32(image.bytesPerLine()), nullptr))
    return false;
  std::vector<unsigned char> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.constBits(),
                                 png_int_32(image.bytesPerLine()), nullptr))
    return false;
  return tolvek::WriteFileWhole(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), size));
}

bool WriteJpeg(const QImage& source, const std::string& path, int quality) {
  QImage image = source.convertToFormat(QImage::Format_RGB888);
  jpeg_compress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = JpegFail;
  unsigned char* volatile buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = JDIMENSION(image.width());
  info.image_height = JDIMENSION(image.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality < 0 ? 0 : quality > 100 ? 100 : quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  buffer = out;
  jpeg_destroy_compress(&info);
  bool ok =
      tolvek::WriteFileWhole(path, std::string_view(reinterpret_cast<const char*>(buffer), size));
  std::free(buffer);
  return ok;
}

bool WriteBmp(const QImage& source, const std::string& path) {
  QImage image = source.convertToFormat(QImage::Format_RGB888);
  const uint32_t w = uint32_t(image.width()), h = uint32_t(image.height());
  const uint32_t stride = (w * 3 + 3) & ~3u;
  const uint32_t dataSize = stride * h;
  std::vector<unsigned char> bytes(54 + size_t(dataSize), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, uint32_t(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  bytes[26] = 1;
  bytes[28] = 24;
  put32(34, dataSize);
  for (uint32_t y = 0; y < h; ++y) {
    const unsigned char* src = image.constScanLine(int(h - 1 - y));
    unsigned char* dst = bytes.data() + 54 + size_t(y) * stride;
    for (uint32_t x = 0; x < w; ++x) {
      dst[x * 3] = src[x * 3 + 2];
      dst[x * 3 + 1] = src[x * 3 + 1];
      dst[x * 3 + 2] = src[x * 3];
    }
  }
  return tolvek::WriteFileWhole(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace platform::detail
