// Reading and writing the edited pictures.
#pragma once

#include <string>

namespace imageeditor::detail {

// Beyond the sides or the pixels the editor handles.
bool PictureTooLarge(int image);
std::string TooLargeMessage(const std::string& path);
// Written beside the target first and renamed over it, so a failed write leaves the file as
// it was. format: a platform::ImageFormat; JPEG at quality 7 of 10.
bool WritePictureFile(int image, const std::string& path, int format);
// The format a file name's extension names, compared in lower case: png, bmp, jpg and jpeg;
// 0 for any other.
int PictureFormatOf(const std::string& path);

}  // namespace imageeditor::detail
