#include "image_codecs.h"

#include <QBuffer>
#include <QImageWriter>

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// True when the declared size is beyond the limit, which then records the refusal.
bool Refused(DecodeLimit* limit, uint64_t width, uint64_t height) {
  if (!limit) return false;
  const uint64_t side = uint64_t(limit->maxSide), pixels = uint64_t(limit->maxPixels);
  if (width <= side && height <= side && width * height <= pixels) return false;
  limit->exceeded = true;
  return true;
}

}  // namespace

QImage DecodePng(const void* data, size_t size, DecodeLimit* limit) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return {};
  if (Refused(limit, image.width, image.height)) {
    png_image_free(&image);
    return {};
  }
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

namespace {

// Qt's reader fills the rows a cut-short file lacks with whatever it finds, so for the
// uncompressed kinds the rows the header promises must all be there. width and height: the
// size the header declares.
bool BmpRowsComplete(const unsigned char* bytes, size_t size, uint64_t& width, uint64_t& height) {
  auto get = [&](size_t at, int count) {
    uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i) v = (v << 8) | bytes[at + size_t(i)];
    return v;
  };
  if (size < 26) return false;
  const uint32_t offset = get(10, 4), header = get(14, 4);
  uint64_t bits = 0, compression = 0;
  if (header == 12) {  // the oldest header, with 16-bit sizes
    width = get(18, 2);
    height = get(20, 2);
    bits = get(24, 2);
  } else {
    if (size < 34) return false;
    width = uint64_t(std::abs(int64_t(int32_t(get(18, 4)))));
    height = uint64_t(std::abs(int64_t(int32_t(get(22, 4)))));
    bits = get(28, 2);
    compression = get(30, 4);
  }
  const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  if (!uncompressed) return offset < size;
  const uint64_t stride = (width * bits + 31) / 32 * 4;
  return uint64_t(offset) + stride * height <= size;
}

}  // namespace

QImage DecodeBmp(const void* data, size_t size, DecodeLimit* limit) {
  if (size < 2 || std::memcmp(data, "BM", 2) != 0 || size > size_t(INT32_MAX)) return {};
  uint64_t width = 0, height = 0;
  const bool complete =
      BmpRowsComplete(static_cast<const unsigned char*>(data), size, width, height);
  if (Refused(limit, width, height) || !complete) return {};
  QImage image;
  if (!image.loadFromData(static_cast<const uchar*>(data), int(size), "BMP")) return {};
  return image.convertToFormat(QImage::Format_ARGB32);
}

QImage DecodeJpeg(const void* data, size_t size, DecodeLimit* limit) {
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
  if (Refused(limit, info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return {};
  }
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
  // JPEG has no alpha: what is transparent shows the white of a page, not the black that
  // dropping the channel would leave.
  QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  QImage image(argb.size(), QImage::Format_RGB888);
  if (image.isNull()) return false;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    unsigned char* out = image.scanLine(y);
    for (int x = 0; x < argb.width(); ++x) {
      const int a = qAlpha(in[x]);
      const int channels[] = {qRed(in[x]), qGreen(in[x]), qBlue(in[x])};
      for (int c = 0; c < 3; ++c)
        out[x * 3 + c] =
            static_cast<unsigned char>((channels[c] * a + 255 * (255 - a) + 127) / 255);
    }
  }
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
  // 32 bits with an alpha mask in a version 4 header, so transparency survives the file.
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  constexpr uint32_t kHeaders = 14 + 108;
  const uint64_t w = uint64_t(image.width()), h = uint64_t(image.height());
  const uint64_t dataSize = w * 4 * h;
  if (dataSize + kHeaders > UINT32_MAX) return false;  // beyond what the format can say
  std::vector<unsigned char> bytes(kHeaders + size_t(dataSize), 0);
  auto put16 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 2; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, uint32_t(bytes.size()));
  put32(10, kHeaders);
  put32(14, 108);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));  // positive: the rows run bottom up
  put16(26, 1);
  put16(28, 32);
  put32(30, 3);  // bit fields
  put32(34, uint32_t(dataSize));
  put32(38, 2835);  // 72 dots per inch
  put32(42, 2835);
  put32(54, 0x00FF0000u);
  put32(58, 0x0000FF00u);
  put32(62, 0x000000FFu);
  put32(66, 0xFF000000u);
  put32(70, 0x73524742u);  // "sRGB"
  for (uint64_t y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(int(h - 1 - y)));
    const size_t row = kHeaders + size_t(y * w * 4);
    for (uint64_t x = 0; x < w; ++x) put32(row + size_t(x) * 4, src[x]);
  }
  return tolvek::WriteFileWhole(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteTga(const QImage& source, const std::string& path) {
  // Uncompressed true colour with 8 bits of alpha, rows bottom up: the layout every reader
  // of the format knows; the closing signature of the format's second version, without which
  // some readers refuse the file.
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const uint64_t w = uint64_t(image.width()), h = uint64_t(image.height());
  if (w > 0xFFFF || h > 0xFFFF) return false;  // beyond what the header can say
  constexpr size_t kHeader = 18;
  static const char kFooter[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
  std::vector<unsigned char> bytes(kHeader + size_t(w * h * 4), 0);
  bytes.insert(bytes.end(), kFooter, kFooter + sizeof kFooter);
  bytes[2] = 2;  // true colour, uncompressed
  bytes[12] = static_cast<unsigned char>(w);
  bytes[13] = static_cast<unsigned char>(w >> 8);
  bytes[14] = static_cast<unsigned char>(h);
  bytes[15] = static_cast<unsigned char>(h >> 8);
  bytes[16] = 32;
  bytes[17] = 8;  // alpha bits; origin at the bottom left
  for (uint64_t y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(int(h - 1 - y)));
    unsigned char* row = bytes.data() + kHeader + size_t(y * w * 4);
    for (uint64_t x = 0; x < w; ++x) {
      row[x * 4] = static_cast<unsigned char>(qBlue(src[x]));
      row[x * 4 + 1] = static_cast<unsigned char>(qGreen(src[x]));
      row[x * 4 + 2] = static_cast<unsigned char>(qRed(src[x]));
      row[x * 4 + 3] = static_cast<unsigned char>(qAlpha(src[x]));
    }
  }
  return tolvek::WriteFileWhole(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteThroughPlugin(const QImage& image, const std::string& path, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.canWrite() || !writer.write(image.convertToFormat(QImage::Format_ARGB32)))
    return false;
  return tolvek::WriteFileWhole(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}

}  // namespace platform::detail
