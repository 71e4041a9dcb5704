// Reading and writing the edited pictures.
#pragma once

#include <string>

namespace imageeditor::detail {

// Beyond the sides or the pixels the editor handles.
bool PictureTooLarge(int image);
std::string TooLargeMessage(const std::string& path);
// A picture file (PNG, JPEG or BMP) as a new image; 0 when it cannot be read, and also when
// its header declares a picture too large to edit, which is then refused before its pixels
// are decoded and tooLarge is set.
int LoadPictureFile(const std::string& path, bool& tooLarge);
// format: a platform::ImageFormat; JPEG at quality 7 of 10. An existing file keeps its
// permissions; a read-only one is refused.
bool WritePictureFile(int image, const std::string& path, int format);
// The format a file name's extension names, compared in lower case: png, bmp, jpg and jpeg,
// and for a picture written back over its file also tga, ico, tif and tiff; 0 for any other.
int PictureFormatOf(const std::string& path, bool writeBack = false);

}  // namespace imageeditor::detail
