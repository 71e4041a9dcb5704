// The image annotation editor: a modal window on one picture file, with annotation objects
// and pasted pictures laid over it, that ends by keeping (the flattened picture written back
// over the file) or discarding.
#pragma once

#include <cstdint>
#include <string>

namespace imageeditor {

enum EditImageRequesterFlags : int64_t {
  EIR_RememberGeometry = 1,
  EIR_StayOnTop = 2,
  EIR_DisableParent = 4,
  EIR_MenuNew = 8,
  EIR_MenuOpen = 16,
  EIR_MenuSave = 32,
  EIR_MenuSaveAs = 64,
  EIR_KeepDiscard = 128,
  EIR_MenuClose = 256,
  EIR_MenuBar = 512,
  EIR_ToolBar = 1024,
  EIR_StatusBar = 2048,
  EIR_StartFit = 4096,
  EIR_Centered = 8192,
  EIR_EscapeDiscards = 16384,
  EIR_CtrlEnterKeeps = 32768,
  EIR_AnnotationMenu = 65536,
};

// Edits a picture held in memory through a temporary BMP file. The result is the given
// picture when the edit was not kept, else a new picture read back from the kept file (0 when
// it cannot be read); with freeSource the given picture is freed when the edit was kept.
int EditImageRequesterFromZemId(const std::string& title, int image, int parentWindow,
                                int64_t flags, const std::string& id, bool freeSource);
// Edits the picture file in place; 1 when the edit was kept and written back over the path
// (in the format its extension names), 0 otherwise. A failed write is reported with a
// message and gives 0.
int EditImageRequesterFromPath(const std::string& title, const std::string& path, int parentWindow,
                               int64_t flags, const std::string& id);

// The largest picture the editor opens.
constexpr int kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t(256) << 20;

namespace detail {
// The editor itself on a picture file (PNG, JPEG or BMP; a 0-byte file is a blank 640 x 480
// picture); 1 when kept (the file then holds the flattened picture as BMP), else 0.
int EditImageRequester(const std::string& title, const std::string& path, int parentWindow,
                       int64_t flags, const std::string& id);
}  // namespace detail

}  // namespace imageeditor
