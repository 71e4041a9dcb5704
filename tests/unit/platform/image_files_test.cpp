// Pictures through their files: what each format keeps of colour and transparency.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
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

}  // namespace
