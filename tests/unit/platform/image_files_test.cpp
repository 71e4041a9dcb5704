// Pictures through their files: what each format keeps of colour and transparency.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/window_system.h"

using namespace platform;

namespace {

class ImageFiles : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
  // A folder of the test's own: two runs at once never read each other's files.
  std::string Path(const char* name) { return m_dir.filePath(name).toStdString(); }
  QTemporaryDir m_dir;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

int Channel(uint32_t rgba, int shift) {
  return int((rgba >> shift) & 0xFF);
}

TEST_F(ImageFiles, ABmpKeepsEveryPixelWithItsAlpha) {
  const uint32_t pixels[] = {Rgba(255, 0, 0, 255),   Rgba(0, 200, 0, 128), Rgba(10, 20, 30, 1),
                             Rgba(250, 128, 7, 0),   Rgba(0, 0, 0, 0),     Rgba(255, 255, 255, 254),
                             Rgba(90, 180, 45, 200), Rgba(1, 2, 3, 64),    Rgba(60, 70, 80, 255)};
  // Three wide and three high with an odd width, so the rows and their order are tested too.
  int image = CreateImage(kNewNumber, 3, 3);
  for (int i = 0; i < 9; ++i) SetImagePixel(image, i % 3, i / 3, pixels[i]);
  ASSERT_TRUE(SaveImage(image, Path("alpha.bmp"), kImageBmp));
  std::string bytes = ReadAll(Path("alpha.bmp"));
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(int(bytes[28]), 32);

  int back = LoadImage(kNewNumber, Path("alpha.bmp"));
  ASSERT_NE(back, 0);
  ASSERT_EQ(ImageWidth(back), 3);
  ASSERT_EQ(ImageHeight(back), 3);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(ImagePixel(back, i % 3, i / 3), pixels[i]) << i;
}

TEST_F(ImageFiles, AJpegShowsTransparencyAsWhite) {
  int image = CreateImage(kNewNumber, 16, 8, Rgba(0, 0, 0, 0));
  for (int y = 0; y < 8; ++y)
    for (int x = 8; x < 16; ++x) SetImagePixel(image, x, y, Rgba(255, 0, 0, 128));
  ASSERT_TRUE(SaveImage(image, Path("over_white.jpg"), kImageJpeg, 100));
  int back = LoadImage(kNewNumber, Path("over_white.jpg"));
  ASSERT_NE(back, 0);
  struct Probe {
    int x, red, green, blue;
  } probes[] = {{3, 255, 255, 255}, {12, 255, 127, 127}};
  for (const auto& p : probes) {
    uint32_t seen = ImagePixel(back, p.x, 4);
    EXPECT_NEAR(Channel(seen, 0), p.red, 4) << p.x;
    EXPECT_NEAR(Channel(seen, 8), p.green, 4) << p.x;
    EXPECT_NEAR(Channel(seen, 16), p.blue, 4) << p.x;
    EXPECT_EQ(Channel(seen, 24), 255);
  }
}

TEST_F(ImageFiles, EachFormatLoadsFromAFileAndFromMemory) {
  int image = CreateImage(kNewNumber, 6, 4, Rgba(40, 90, 160, 255));
  ASSERT_TRUE(SaveImage(image, Path("load.png"), kImagePng));
  ASSERT_TRUE(SaveImage(image, Path("load.jpg"), kImageJpeg, 95));
  ASSERT_TRUE(SaveImage(image, Path("load.bmp"), kImageBmp));
  // A plain 24-bit BMP as other programs write it.
  QImage plain(6, 4, QImage::Format_RGB888);
  plain.fill(QColor(40, 90, 160));
  ASSERT_TRUE(plain.save(QString::fromStdString(Path("plain24.bmp")), "BMP"));

  for (const char* name : {"load.png", "load.jpg", "load.bmp", "plain24.bmp"}) {
    SCOPED_TRACE(name);
    std::string bytes = ReadAll(Path(name));
    for (int back :
         {LoadImage(kNewNumber, Path(name)), CatchImage(kNewNumber, bytes.data(), bytes.size())}) {
      ASSERT_NE(back, 0);
      EXPECT_EQ(ImageWidth(back), 6);
      EXPECT_EQ(ImageHeight(back), 4);
      uint32_t seen = ImagePixel(back, 2, 2);
      EXPECT_NEAR(Channel(seen, 0), 40, 4);
      EXPECT_NEAR(Channel(seen, 16), 160, 4);
      EXPECT_EQ(Channel(seen, 24), 255);
    }
    // Cut short, the same bytes are no picture at all.
    WriteAll(Path("short.bin"), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(LoadImage(kNewNumber, Path("short.bin")), 0);
  }
  WriteAll(Path("gif.bin"), "GIF89a\x01\x00\x01\x00");
  EXPECT_EQ(LoadImage(kNewNumber, Path("gif.bin")), 0);
  EXPECT_EQ(LoadImage(kNewNumber, Path("no/such/file.png")), 0);
  EXPECT_EQ(CatchImage(kNewNumber, "BM", 2), 0);
}

// Written here, read back by Qt's own readers of these formats.
TEST_F(ImageFiles, TgaIcoAndTiffKeepThePixelsOtherReadersSee) {
  const uint32_t pixels[] = {Rgba(255, 0, 0, 255), Rgba(0, 200, 0, 255),   Rgba(10, 20, 30, 255),
                             Rgba(0, 0, 0, 0),     Rgba(90, 180, 45, 200), Rgba(60, 70, 80, 255)};
  int image = CreateImage(kNewNumber, 3, 2);
  for (int i = 0; i < 6; ++i) SetImagePixel(image, i % 3, i / 3, pixels[i]);
  struct FormatCase {
    int format;
    const char* name;
    const char* reader;
  } cases[] = {
      {kImageTga, "p.tga", "tga"}, {kImageIco, "p.ico", "ico"}, {kImageTiff, "p.tif", "tiff"}};
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SaveImage(image, Path(c.name), c.format));
    QImageReader reader(QString::fromStdString(Path(c.name)), c.reader);
    QImage back = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(back.isNull());
    ASSERT_EQ(back.size(), QSize(3, 2));
    for (int i = 0; i < 6; ++i) {
      const QRgb seen = back.pixel(i % 3, i / 3);
      EXPECT_EQ(qAlpha(seen), Channel(pixels[i], 24)) << i;
      if (qAlpha(seen) == 0) continue;
      EXPECT_NEAR(qRed(seen), Channel(pixels[i], 0), 1) << i;
      EXPECT_NEAR(qGreen(seen), Channel(pixels[i], 8), 1) << i;
      EXPECT_NEAR(qBlue(seen), Channel(pixels[i], 16), 1) << i;
    }
  }
}

// The standard check of PNG chunks, over the chunk's type and data.
uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBigEndian(std::string& bytes, size_t at, uint32_t value, int count) {
  for (int i = 0; i < count; ++i)
    bytes[at + size_t(i)] = char((value >> (8 * (count - 1 - i))) & 0xFF);
}
void PutLittleEndian(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

// A small file whose header claims w x h: what a picture built to exhaust memory looks like.
std::string Declaring(const std::string& file, int format, uint32_t w, uint32_t h) {
  std::string bytes = file;
  if (format == kImagePng) {  // IHDR's width and height, then its check sum anew
    PutBigEndian(bytes, 16, w, 4);
    PutBigEndian(bytes, 20, h, 4);
    PutBigEndian(bytes, 29, Crc32(bytes.substr(12, 17)), 4);
  } else if (format == kImageJpeg) {  // the frame header's height and width
    const size_t sof = bytes.find("\xFF\xC0");
    PutBigEndian(bytes, sof + 5, h, 2);
    PutBigEndian(bytes, sof + 7, w, 2);
  } else {
    PutLittleEndian(bytes, 18, w);
    PutLittleEndian(bytes, 22, h);
  }
  return bytes;
}

TEST_F(ImageFiles, ADeclaredSizeBeyondTheLimitIsRefusedBeforeDecoding) {
  int image = CreateImage(kNewNumber, 8, 8, Rgba(1, 2, 3, 255));
  struct Case {
    int format;
    uint32_t w, h;
    bool tooLarge;
  };
  const Case cases[] = {
      {kImagePng, 30000, 30000, true},
      {kImageJpeg, 30000, 30000, true},
      {kImageBmp, 30000, 30000, true},
      {kImagePng, 16000, 20, true},    // one side too long
      {kImageJpeg, 1000, 1000, true},  // too many pixels
      {kImagePng, 8, 8, false},
      {kImageBmp, 8, 8, false},
      // At the limits: a side of 10000, or 500000 pixels in all, is still taken.
      {kImagePng, 10000, 50, false},
      {kImagePng, 50, 10000, false},
      {kImagePng, 10001, 1, true},
      {kImagePng, 1, 10001, true},
      {kImageBmp, 1000, 500, false},
      {kImageBmp, 1000, 501, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + ": " + std::to_string(c.w) + "x" + std::to_string(c.h));
    // A size within the limit is a whole picture of that size, which then decodes.
    const int picture = c.tooLarge ? image : CreateImage(kNewNumber, int(c.w), int(c.h), 0);
    ASSERT_TRUE(SaveImage(picture, Path("small"), c.format));
    if (picture != image) FreeImage(picture);
    WriteAll(Path("declared"), Declaring(ReadAll(Path("small")), c.format, c.w, c.h));
    bool tooLarge = !c.tooLarge;
    const int loaded = LoadImageWithin(kNewNumber, Path("declared"), 10000, 500000, tooLarge);
    EXPECT_EQ(tooLarge, c.tooLarge);
    EXPECT_EQ(loaded != 0, !c.tooLarge);
  }
  // A file that cannot be read is no picture, but not a large one.
  bool tooLarge = true;
  EXPECT_EQ(LoadImageWithin(kNewNumber, Path("missing.png"), 10000, 500000, tooLarge), 0);
  EXPECT_FALSE(tooLarge);
}

}  // namespace
