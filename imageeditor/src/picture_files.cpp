#include "picture_files.h"

#include <algorithm>

#include "imageeditor/image_editor.h"
#include "platform/window_system.h"

namespace imageeditor::detail {

bool PictureTooLarge(int image) {
  const int64_t w = platform::ImageWidth(image), h = platform::ImageHeight(image);
  return w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels;
}

std::string TooLargeMessage(const std::string& path) {
  return "The picture '" + path + "' is too large to edit (at most " +
         std::to_string(kMaxPictureSide) + " pixels on a side and " +
         std::to_string(kMaxPicturePixels >> 20) + " megapixels).";
}

int LoadPictureFile(const std::string& path, bool& tooLarge) {
  return platform::LoadImageWithin(platform::kNewNumber, path, kMaxPictureSide, kMaxPicturePixels,
                                   tooLarge);
}

bool WritePictureFile(int image, const std::string& path, int format) {
  return platform::SaveImage(image, path, format, 70);
}

int PictureFormatOf(const std::string& path, bool writeBack) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == "png") return platform::kImagePng;
  if (ext == "bmp") return platform::kImageBmp;
  if (ext == "jpg" || ext == "jpeg") return platform::kImageJpeg;
  if (!writeBack) return 0;
  if (ext == "tga") return platform::kImageTga;
  if (ext == "ico") return platform::kImageIco;
  if (ext == "tif" || ext == "tiff") return platform::kImageTiff;
  return 0;
}

}  // namespace imageeditor::detail
