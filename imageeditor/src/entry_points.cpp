// The editor on a picture in memory or on a picture file.
#include "imageeditor/image_editor.h"
#include "picture_files.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/temp_files.h"

namespace imageeditor {

int EditImageRequesterFromZemId(const std::string& title, int image, int parentWindow,
                                int64_t flags, const std::string& id, bool freeSource) {
  TOLVEK_TRACE("EditImageRequesterFromZemId");
  int result = image;
  const int64_t file = tolvek::CreateTempFile(true, false, "tmp");
  const std::string path = file ? tolvek::GetTempFilePath(file) : "";
  if (path.empty()) return result;
  // When the picture cannot be written the file stays empty and the editor shows a blank one.
  if (image && platform::IsImage(image)) platform::SaveImage(image, path, platform::kImageBmp);
  if (detail::EditImageRequester(title, path, parentWindow, flags, id) == 1) {
    if (freeSource && image && platform::IsImage(image)) platform::FreeImage(image);
    result = platform::LoadImage(platform::kNewNumber, path);
  }
  tolvek::DeleteTempFile(file);
  return result;
}

int EditImageRequesterFromPath(const std::string& title, const std::string& path, int parentWindow,
                               int64_t flags, const std::string& id) {
  TOLVEK_TRACE("EditImageRequesterFromPath");
  using namespace platform;
  bool tooLarge = false;
  int source = detail::LoadPictureFile(path, tooLarge);
  if (tooLarge) {
    MessageRequester(title, detail::TooLargeMessage(path));
    return 0;
  }
  if (!source)
    MessageRequester(title,
                     "Couldn't open the picture '" + path + "'; a blank picture is shown instead.");
  int ok = 0;
  const int result = EditImageRequesterFromZemId(title, source, parentWindow, flags, id, false);
  if (result && result != source) {
    int format = detail::PictureFormatOf(path, true);
    if (!format) format = kImageBmp;  // any other extension gets BMP data
    if (detail::WritePictureFile(result, path, format)) {
      ok = 1;
    } else {
      MessageRequester(title, "Couldn't write the picture to '" + path + "'!");
    }
    FreeImage(result);
  }
  if (source) FreeImage(source);
  return ok;
}

}  // namespace imageeditor
