// The running editor's state: its windows, the picture, the items laid over it, the
// selection, the zoom and the pointer. The editor's procedures share it; tests read it while
// they drive the editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageeditor/annotation_object.h"
#include "imageeditor/annotation_store.h"
#include "imageeditor/clipboard_region.h"

namespace imageeditor {

enum CanvasItemKind : int { kItemRegion = 0, kItemImage = 1, kItemAnnotation = 2 };

// One element of the picture, in view pixels; it owns its pasted picture or its object.
struct CanvasItem {
  int kind = kItemRegion;
  double x = 0, y = 0, width = 0, height = 0;
  double scale = 1.0;
  int image = 0;
  std::unique_ptr<AnnotationObject> object;

  CanvasItem() = default;
  explicit CanvasItem(int itemKind) : kind(itemKind) {}
  ~CanvasItem();
  CanvasItem(const CanvasItem&) = delete;
  CanvasItem& operator=(const CanvasItem&) = delete;
  void Clear() { x = y = width = height = 0; }
};

enum ZoomMode : int { kZoomOneToOne = 1, kZoomFit = 2 };
enum SelectionHandle : int {
  kNoHandle = 0,
  kHandleMove,
  kHandleLeftEdge,
  kHandleTopLeftCorner,
  kHandleTopEdge,
  kHandleTopRightCorner,
  kHandleRightEdge,
  kHandleBottomRightCorner,
  kHandleBottomEdge,
  kHandleBottomLeftCorner,
};

// Menu and shortcut ids of the editor window.
enum EditorMenuId : int {
  kMenuDiscard = 1,
  kMenuKeep = 2,
  kMenuSelectAll = 3,
  kMenuSelectNone = 4,
  kMenuSelectRectangle = 5,
  kMenuCrop = 6,
  kMenuNew = 7,
  kMenuOpen = 8,
  kMenuSave = 9,
  kMenuSaveAs = 10,
  kMenuClose = 11,
  kMenuCut = 12,
  kMenuCopy = 13,
  kMenuPaste = 14,
  kMenuOneToOne = 15,
  kMenuFit = 16,
  kMenuDelete = 17,
  kMenuEscapeNone = 18,
  kMenuScaleImage = 19,
  kMenuTemplates = 50,
  // The object's popup menu.
  kMenuLineColor = 100,
  kMenuLineThickness = 101,
  kMenuFillColor = 102,
  kMenuCornerRadius = 105,
  kMenuText = 106,
  kMenuShadow = 108,
  kMenuSetAsDefault = 110,
  kMenuResetToDefault = 111,
  kMenuStoreTemplate = 112,
  kMenuRemoveTemplate = 113,
  kMenuArrowNone = 115,
  kMenuArrowLeft = 116,
  kMenuArrowRight = 117,
  kMenuArrowTop = 118,
  kMenuArrowBottom = 119,
  kMenuArrowOffset = 120,
  kMenuArrowFillLine = 121,
  kMenuArrowFillFill = 122,
};

// What the last repaint put where, so that the next one redraws only what changed.
struct DrawnEntry {
  const void* owner = nullptr;
  PixelRect bounds;
  std::string look;
};

struct EditorState {
  // The call.
  std::string title, path, id;
  int parent = 0;
  int64_t flags = 0;
  AnnotationFile annotations;

  // Windows and gadgets.
  int window = 0, scroll = 0, canvas = 0, menu = 0, toolBar = 0, statusBar = 0;
  int contextMenu = 0;

  // The picture.
  int working = 0;       // image pixels
  int zoomed = 0;        // the working image at zoomedFor
  double zoomedFor = 0;  // 0: out of date
  double zoom = 1.0;
  int zoomMode = kZoomOneToOne;

  std::vector<std::unique_ptr<CanvasItem>> items;  // drawing order, the last on top
  CanvasItem region{kItemRegion};
  CanvasItem* selection = nullptr;
  // The object the tool windows and the popup menu work on; cleared when it goes.
  AnnotationObject* current = nullptr;

  // The pointer.
  int handle = kNoHandle;
  bool buttonDown = false, rightButton = false;
  int lastX = 0, lastY = 0;

  bool redraw = false, discard = false, keep = false;

  // Repaint bookkeeping.
  std::vector<DrawnEntry> drawn;
  bool drawnValid = false;
  int64_t repaints = 0, partialRepaints = 0;

  int64_t Width() const;  // of the working image
  int64_t Height() const;
  bool RegionSelected() const { return selection == &region; }
  CanvasItem* SelectedItem() const {
    return selection && selection != &region ? selection : nullptr;
  }
};

// The editor that runs now; nullptr when none.
EditorState* RunningEditor();

}  // namespace imageeditor
