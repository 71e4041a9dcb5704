#include "picture_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

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

bool WritePictureFile(int image, const std::string& path, int format) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  if (!platform::SaveImage(image, temporary, format, 70)) {
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int PictureFormatOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == "png") return platform::kImagePng;
  if (ext == "bmp") return platform::kImageBmp;
  if (ext == "jpg" || ext == "jpeg") return platform::kImageJpeg;
  return 0;
}

}  // namespace imageeditor::detail
