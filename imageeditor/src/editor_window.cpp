// The editor window: opening it on a picture, its menus and bars, the zoom, the loop that
// serves it and the end that keeps or discards.
#include <sys/stat.h>

#include <cmath>

#include "editor_internal.h"
#include "gui/requester_geometry.h"
#include "imageeditor/annotation_render.h"
#include "imageeditor/image_editor.h"
#include "picture_files.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor {

namespace {
EditorState* g_running = nullptr;
constexpr const char* kGeometryFile = "EditImageRequester";
}  // namespace

EditorState* RunningEditor() {
  return g_running;
}

CanvasItem::~CanvasItem() {
  if (image && platform::IsImage(image)) platform::FreeImage(image);
}

int64_t EditorState::Width() const {
  return working ? platform::ImageWidth(working) : 0;
}
int64_t EditorState::Height() const {
  return working ? platform::ImageHeight(working) : 0;
}

namespace detail {

namespace {

bool HasFileMenu(int64_t f) {
  return f & (EIR_MenuNew | EIR_MenuOpen | EIR_MenuSave | EIR_MenuSaveAs | EIR_KeepDiscard);
}

void BuildMenuBar(EditorState& s) {
  using namespace platform;
  const int64_t f = s.flags;
  s.menu = CreateMenuBar(kNewNumber, s.window);
  if (HasFileMenu(f)) {
    MenuTitle("File");
    bool upper = false;
    if (f & EIR_MenuNew) MenuItem(kMenuNew, "New\tCtrl+N"), upper = true;
    if (f & EIR_MenuOpen) MenuItem(kMenuOpen, "Open ...\tCtrl+O"), upper = true;
    if (f & EIR_MenuSave) MenuItem(kMenuSave, "Save\tCtrl+S"), upper = true;
    if (f & EIR_MenuSaveAs) MenuItem(kMenuSaveAs, "Save As ..."), upper = true;
    const bool lower = (f & EIR_KeepDiscard) || (f & EIR_MenuClose);
    if (upper && lower) MenuBar();
    if (f & EIR_KeepDiscard) {
      MenuItem(kMenuKeep, "Keep modifications and close");
      MenuItem(kMenuDiscard, "Discard modifications and close");
    } else if (f & EIR_MenuClose) {
      MenuItem(kMenuClose, "Close");
    }
  }
  MenuTitle("Edit");
  MenuItem(kMenuCut, "Cut\tCtrl+X");
  MenuItem(kMenuCopy, "Copy\tCtrl+C");
  MenuItem(kMenuPaste, "Paste\tCtrl+V");
  MenuBar();
  MenuItem(kMenuDelete, "Delete\tDel");
  MenuTitle("Selection");
  MenuItem(kMenuSelectAll, "All\tCtrl+A");
  MenuItem(kMenuSelectNone, (f & EIR_EscapeDiscards) ? "None" : "None\tEsc");
  MenuItem(kMenuSelectRectangle, "Rectangle");
  MenuBar();
  MenuItem(kMenuCrop, "Crop");
  if (f & EIR_AnnotationMenu) {
    MenuTitle("Annotation");
    for (int64_t kind : {kKindRectangle, kKindRoundedRectangle, kKindEllipse, kKindHighlighter,
                         kKindText, kKindNote, kKindBalloon})
      MenuItem(int(kind), KindMenuText(kind));
    if (f & EIR_RememberGeometry) {
      MenuBar();
      MenuItem(kMenuTemplates, "Templates ...\tAlt+T");
    }
  }
  MenuTitle("View");
  MenuItem(kMenuOneToOne, "1:1");
  MenuItem(kMenuFit, "fit");
  MenuBar();
  MenuItem(kMenuScaleImage, "Scale image to current zoom factor");
}

// The shortcuts of the File, Edit and Selection items, once with the menu bar and once with
// the tool bar (registering a key twice keeps one).
void AddItemShortcuts(EditorState& s, bool withToolBar) {
  using platform::AddKeyboardShortcut;
  const int64_t f = s.flags;
  if (f & EIR_MenuNew) AddKeyboardShortcut(s.window, "Ctrl+N", kMenuNew);
  if (f & EIR_MenuOpen) AddKeyboardShortcut(s.window, "Ctrl+O", kMenuOpen);
  if (f & EIR_MenuSave) AddKeyboardShortcut(s.window, "Ctrl+S", kMenuSave);
  AddKeyboardShortcut(s.window, "Ctrl+X", kMenuCut);
  AddKeyboardShortcut(s.window, "Ctrl+C", kMenuCopy);
  AddKeyboardShortcut(s.window, "Ctrl+V", kMenuPaste);
  AddKeyboardShortcut(s.window, "Delete", kMenuDelete);
  if (withToolBar) return;
  AddKeyboardShortcut(s.window, "Ctrl+A", kMenuSelectAll);
  if ((f & EIR_AnnotationMenu) && (f & EIR_RememberGeometry))
    AddKeyboardShortcut(s.window, "Alt+T", kMenuTemplates);
}

void BuildToolBar(EditorState& s) {
  using namespace platform;
  const int64_t f = s.flags;
  s.toolBar = CreateToolBar(kNewNumber, s.window);
  if (HasFileMenu(f)) {
    if (f & EIR_MenuNew) ToolBarStandardButton(kMenuNew, kToolNew);
    if (f & EIR_MenuOpen) ToolBarStandardButton(kMenuOpen, kToolOpen);
    if (f & EIR_MenuSave) ToolBarStandardButton(kMenuSave, kToolSave);
    ToolBarSeparator();
  }
  ToolBarStandardButton(kMenuCut, kToolCut);
  ToolBarStandardButton(kMenuCopy, kToolCopy);
  ToolBarStandardButton(kMenuPaste, kToolPaste);
  ToolBarSeparator();
  ToolBarStandardButton(kMenuDelete, kToolDelete);
}

void LayOut(EditorState& s) {
  platform::BarRoom room = platform::PlaceWindowBars(s.window);
  platform::ResizeGadget(s.scroll, 0, room.top, platform::WindowWidth(s.window),
                         std::max(room.height, 1));
  if (s.zoomMode == kZoomFit) QueueMenu(s, kMenuFit);
}

// The picture to edit: a 0-byte file is a blank picture; one that cannot be read is too,
// with a message. False for a picture too large to edit.
bool LoadWorkingImage(EditorState& s) {
  using namespace platform;
  struct stat info {};
  const bool exists = ::stat(s.path.c_str(), &info) == 0;
  bool tooLarge = false;
  if (exists && info.st_size > 0) s.working = LoadPictureFile(s.path, tooLarge);
  if (tooLarge) {
    MessageRequester(s.title, TooLargeMessage(s.path));
    return false;
  }
  if (!s.working) {
    if (!exists || info.st_size > 0)
      MessageRequester(
          s.title, "Couldn't open the picture '" + s.path + "'; a blank picture is shown instead.");
    s.working = CreateImage(kNewNumber, 640, 480, Rgba(0, 0, 0, 0));
  }
  return s.working != 0;
}

void OpenEditorWindow(EditorState& s) {
  using namespace platform;
  const bool parented = s.parent != kNoParent && IsWindow(s.parent);
  uint32_t windowFlags = kWindowTitleBar | kWindowCloseBox | kWindowSizable | kWindowMaximizeBox;
  if (s.flags & EIR_Centered) windowFlags |= kWindowScreenCentered;
  gui::RequesterGeometry g;
  int x = 0, y = 0, w = 400, h = 300;
  if ((s.flags & EIR_RememberGeometry) && gui::RequesterGeometry_Load(kGeometryFile, s.id, g)) {
    x = g.x, y = g.y, w = g.width, h = g.height;
  } else if (parented) {
    x = WindowX(s.parent) + WindowWidth(s.parent) / 2 - 200;
    y = WindowY(s.parent) + WindowHeight(s.parent) / 2 - 150;
  } else {
    windowFlags |= kWindowScreenCentered;
  }
  s.window =
      OpenWindow(kNewNumber, x, y, w, h, s.title, windowFlags, parented ? s.parent : kNoParent);
  WindowMinimumSize(s.window, 250, 250);
  if (s.flags & EIR_MenuBar) BuildMenuBar(s), AddItemShortcuts(s, false);
  if (s.flags & EIR_ToolBar) BuildToolBar(s), AddItemShortcuts(s, true);
  if (s.flags & EIR_StatusBar) {
    s.statusBar = CreateStatusBar(kNewNumber, s.window);
    AddStatusBarField(s.statusBar, 100);
  }
  UseGadgetList(s.window);
  BarRoom room = PlaceWindowBars(s.window);
  const int W = int(s.Width()), H = int(s.Height());
  // Borderless: the fit sizes the picture to the area's outer size, and a frame would take
  // pixels from it and bring up scroll bars over the picture's last rows.
  s.scroll = ScrollAreaGadget(kNewNumber, 0, room.top, WindowWidth(s.window),
                              std::max(room.height, 1), W, H, kScrollAreaBorderless);
  s.canvas = CanvasGadget(kNewNumber, 0, 0, W, H, kCanvasKeyboard);
  CloseGadgetList();
  SetGadgetCursor(s.canvas, kCursorCross);
  if (StartDrawing(CanvasOutput(s.canvas))) {
    DrawImage(s.working, 0, 0);
    StopDrawing();
  }
  SetActiveWindow(s.window);
  if (s.flags & EIR_StayOnTop) StickyWindow(s.window, true);
  if ((s.flags & EIR_DisableParent) && parented) DisableWindow(s.parent, true);
  AddKeyboardShortcut(s.window, "Escape",
                      (s.flags & EIR_EscapeDiscards) ? kMenuDiscard : kMenuEscapeNone);
  if (s.flags & EIR_CtrlEnterKeeps) {
    AddKeyboardShortcut(s.window, "Ctrl+Return", kMenuKeep);
    AddKeyboardShortcut(s.window, "Ctrl+Enter", kMenuKeep);
  }
  SetActiveGadget(s.canvas);
}

void EndEditor(EditorState& s) {
  using namespace platform;
  TOLVEK_TRACE("_EditImageRequester_End");
  if (s.flags & EIR_RememberGeometry) gui::RequesterGeometry_Save(kGeometryFile, s.id, s.window);
  CloseToolWindows();
  s.current = nullptr;
  if (s.contextMenu && IsMenu(s.contextMenu)) FreeMenu(s.contextMenu);
  CloseWindow(s.window);
  if ((s.flags & EIR_DisableParent) && s.parent != kNoParent && IsWindow(s.parent))
    DisableWindow(s.parent, false);
  if (s.keep) {
    int picture = FlattenPicture(s);
    const bool written = picture && WritePictureFile(picture, s.path, kImageBmp);
    if (picture) FreeImage(picture);
    if (!written) {
      MessageRequester(s.title, "Couldn't write the picture to '" + s.path + "'!");
      s.keep = false;
    }
  }
  s.items.clear();
  s.selection = nullptr;
  for (int* image : {&s.working, &s.zoomed}) {
    if (*image && IsImage(*image)) FreeImage(*image);
    *image = 0;
  }
}

}  // namespace

void QueueMenu(EditorState& s, int id) {
  platform::PostEvent(platform::kEventMenu, s.window, 0, 0, id);
}

void ShowZoom(EditorState& s) {
  if (!s.statusBar) return;
  platform::StatusBarText(s.statusBar, 0,
                          "Zoom: " + std::to_string(int64_t(std::trunc(s.zoom * 100))) + "%");
}

void ResizeCanvas(EditorState& s, int w, int h) {
  w = std::max(w, 1), h = std::max(h, 1);
  platform::ResizeGadget(s.canvas, 0, 0, w, h);
  platform::SetScrollAreaInnerSize(s.scroll, w, h);
  s.drawnValid = false;
}

void SetZoom(EditorState& s, double zoom) {
  if (!(zoom > 0) || !std::isfinite(zoom)) return;
  auto rescale = [&](CanvasItem& item) {
    item.x = item.x / s.zoom * zoom;
    item.y = item.y / s.zoom * zoom;
    item.width = item.width / s.zoom * zoom;
    item.height = item.height / s.zoom * zoom;
  };
  if (s.RegionSelected()) rescale(s.region);
  for (auto& item : s.items) rescale(*item);
  s.zoom = zoom;
}

void ZoomOneToOne(EditorState& s) {
  s.zoomMode = kZoomOneToOne;
  SetZoom(s, 1.0);
  ResizeCanvas(s, int(RoundEven(s.Width() * s.zoom)), int(RoundEven(s.Height() * s.zoom)));
  ShowZoom(s);
  s.redraw = true;
}

void ZoomFit(EditorState& s) {
  s.zoomMode = kZoomFit;
  const double W = double(s.Width()), H = double(s.Height());
  const double sw = platform::GadgetWidth(s.scroll), sh = platform::GadgetHeight(s.scroll);
  double zoom = 1.0;
  if (sw < W || sh < H) zoom = std::min({sw / W, sh / H, 1.0});
  // A scroll area squeezed to nothing still shows the picture at some size.
  zoom = std::max(zoom, 1.0 / std::max(W, H));
  SetZoom(s, zoom);
  ResizeCanvas(s, int(RoundEven(W * s.zoom)), int(RoundEven(H * s.zoom)));
  ShowZoom(s);
  s.redraw = true;
}

void DispatchMenu(EditorState& s, int id) {
  TOLVEK_TRACE("_EditImageRequester_Menu");
  switch (id) {
    case kMenuDiscard:
      s.discard = true;
      break;
    case kMenuKeep:
      s.keep = true;
      break;
    case kMenuSelectAll:
      SelectAll(s);
      break;
    case kMenuSelectNone:
    case kMenuEscapeNone:
      SelectNone(s);
      break;
    case kMenuSelectRectangle:
      SelectRectangle(s);
      break;
    case kMenuCrop:
      Crop(s);
      break;
    case kMenuSave:
      SaveBitmap(s);
      break;
    case kMenuCut:
      Cut(s);
      break;
    case kMenuCopy:
      Copy(s);
      break;
    case kMenuPaste:
      Paste(s);
      break;
    case kMenuOneToOne:
      ZoomOneToOne(s);
      break;
    case kMenuFit:
      ZoomFit(s);
      break;
    case kMenuDelete:
      Delete(s);
      break;
    case kMenuScaleImage:
      ScaleImageToZoom(s);
      break;
    case kMenuTemplates:
      if (s.flags & EIR_RememberGeometry) ShowTemplates(s);
      break;
    default:
      if (IsAnnotationKind(id)) {
        CreateAnnotation(s, id);
      } else if (id >= 100 && id <= 122) {
        HandleObjectMenu(s, id);
      }
      break;
  }
}

int EditImageRequester(const std::string& title, const std::string& path, int parentWindow,
                       int64_t flags, const std::string& id) {
  TOLVEK_TRACE("_EditImageRequester");
  using namespace platform;
  if (g_running) return 0;  // one editor at a time: the tool windows share its state
  EditorState s;
  s.title = title, s.path = path, s.parent = parentWindow, s.flags = flags, s.id = id;
  s.annotations = UserAnnotationFile(id);
  if (!LoadWorkingImage(s)) return 0;
  g_running = &s;
  OpenEditorWindow(s);
  QueueMenu(s, (flags & EIR_StartFit) ? kMenuFit : kMenuOneToOne);

  bool first = true;
  while (!s.discard && !s.keep) {
    s.redraw = false;
    if (first) {
      first = false;
      LayOut(s);
    } else {
      WaitWindowEvent();
      const int window = EventWindow();
      if (window == s.window) {
        switch (EventKind()) {
          case kEventSizeWindow:
            LayOut(s);
            break;
          case kEventCloseWindow:
            s.discard = true;
            break;
          case kEventMenu:
            DispatchMenu(s, EventMenu());
            break;
          case kEventGadget:
            if (EventGadget() == s.canvas) HandleCanvasEvent(s);
            break;
          default:
            break;
        }
      } else if (IsToolWindow(window)) {
        if (ManageToolWindowEvent(s)) s.redraw = true;
      }
    }
    if (s.redraw && !s.discard && !s.keep) Repaint(s);
    // The program is to end: the editor and its tool windows close as the close box does.
    if (IsEndRequested()) s.discard = true;
  }
  EndEditor(s);
  g_running = nullptr;
  return s.keep ? 1 : 0;
}

}  // namespace detail
}  // namespace imageeditor
