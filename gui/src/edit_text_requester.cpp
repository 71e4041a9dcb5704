#include "gui/edit_text_requester.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "file_bytes.h"
#include "gui/gadget_screenshot.h"
#include "gui/requester_geometry.h"
#include "platform/editor_gadget.h"
#include "platform/scintilla_codes.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/temp_files.h"

namespace gui {

using namespace platform;
using Sci = platform::ScintillaCodes;

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";
constexpr int kMapWidth = 20;
constexpr int kTimerLines = 1;
constexpr int kTimerCallback = 2;
constexpr int64_t kFileFlags =
    ETR_MenuNew | ETR_MenuOpen | ETR_MenuSave | ETR_MenuSaveAs | ETR_KeepDiscard;

// Working state of one call, besides the record the callbacks see.
struct Requester {
  EditTextRequesterState state;
  EditTextStylesCallback styles;
  EditTextMenuCallback menuCallback;
  EditTextTimerCallback timer;
  int menuBar = 0, toolBar = 0, statusBar = 0, map = 0;
  int64_t period = 0;
  bool wrap = false;
  std::string shownCallTip;
  int lastWidth = 0, lastHeight = 0;
  int64_t lastDisplayLines = 0;
  detail::TextFind find;
  bool close = false, keep = false, screenshotTaken = false;
  int contextMenu = 0;
};

bool Has(const Requester& r, int64_t flag) {
  return (r.state.flags & flag) != 0;
}

void Item(int id, const std::string& text, const std::string& shortcut = "") {
  MenuItem(id, shortcut.empty() ? text : text + "\t" + shortcut);
}

void Bind(const Requester& r, const std::string& key, int id) {
  AddKeyboardShortcut(r.state.window, key, id);
}

void BuildMenuBar(Requester& r) {
  int window = r.state.window;
  bool readOnly = Has(r, ETR_ReadOnly);
  r.menuBar = CreateMenuBar(kNewNumber, window);
  if (Has(r, kFileFlags)) {
    MenuTitle("File");
    int plain = 0;
    if (Has(r, ETR_MenuNew)) Item(kEtrNew, "New", "Ctrl+N"), Bind(r, "Ctrl+N", kEtrNew), ++plain;
    if (Has(r, ETR_MenuOpen))
      Item(kEtrOpen, "Open ...", "Ctrl+O"), Bind(r, "Ctrl+O", kEtrOpen), ++plain;
    if (Has(r, ETR_MenuSave))
      Item(kEtrSave, "Save", "Ctrl+S"), Bind(r, "Ctrl+S", kEtrSave), ++plain;
    if (Has(r, ETR_MenuSaveAs)) Item(kEtrSaveAs, "Save As ..."), ++plain;
    if (plain > 0 && Has(r, ETR_KeepDiscard | ETR_MenuClose)) MenuBar();
    if (Has(r, ETR_KeepDiscard)) {
      Item(kEtrKeep, "Keep modifications and close");
      Item(kEtrDiscard, "Discard modifications and close");
    } else if (Has(r, ETR_MenuClose)) {
      Item(kEtrClose, "Close");
    }
  }
  MenuTitle("Edit");
  if (!readOnly) Item(kEtrCut, "Cut", "Ctrl+X"), Bind(r, "Ctrl+X", kEtrCut);
  Item(kEtrCopy, "Copy", "Ctrl+C"), Bind(r, "Ctrl+C", kEtrCopy);
  if (!readOnly) Item(kEtrPaste, "Paste", "Ctrl+V"), Bind(r, "Ctrl+V", kEtrPaste);
  if (Has(r, ETR_ScreenshotMode)) {
    MenuBar();
    Item(kEtrScreenshot, "Screenshot", "Ctrl+S"), Bind(r, "Ctrl+S", kEtrScreenshot);
  }
  MenuBar();
  Item(kEtrFind, "Find ...", "Ctrl+F"), Bind(r, "Ctrl+F", kEtrFind);
  Item(kEtrFindNext, "Find next", "F3"), Bind(r, "F3", kEtrFindNext);
  Item(kEtrFindList, "Show find results as list", "Ctrl+L"), Bind(r, "Ctrl+L", kEtrFindList);
  MenuTitle("Selection");
  Item(kEtrSelectAll, "All", "Ctrl+A"), Bind(r, "Ctrl+A", kEtrSelectAll);
  Item(kEtrSelectNone, "None", Has(r, ETR_EscapeCloses) ? "" : "Esc");
  MenuTitle("View");
  Item(kEtrWrap, "Line wrapping", "Ctrl+W"), Bind(r, "Ctrl+W", kEtrWrap);
  Item(kEtrStyles, "Styles", "Alt+S"), Bind(r, "Alt+S", kEtrStyles);
  SetMenuItemState(r.menuBar, kEtrStyles, true);
}

void BuildToolBar(Requester& r) {
  bool readOnly = Has(r, ETR_ReadOnly);
  r.toolBar = CreateToolBar(kNewNumber, r.state.window);
  auto button = [&](int id, int image, const char* text, const char* key) {
    ToolBarStandardButton(id, image);
    ToolBarToolTip(r.toolBar, id, text);
    Bind(r, key, id);
  };
  if (Has(r, kFileFlags)) {
    if (Has(r, ETR_MenuNew)) button(kEtrNew, kToolNew, "New", "Ctrl+N");
    if (Has(r, ETR_MenuOpen)) button(kEtrOpen, kToolOpen, "Open", "Ctrl+O");
    if (Has(r, ETR_MenuSave)) button(kEtrSave, kToolSave, "Save", "Ctrl+S");
    ToolBarSeparator();
  }
  if (!readOnly) button(kEtrCut, kToolCut, "Cut", "Ctrl+X");
  button(kEtrCopy, kToolCopy, "Copy", "Ctrl+C");
  if (!readOnly) button(kEtrPaste, kToolPaste, "Paste", "Ctrl+V");
}

void Layout(Requester& r) {
  BarRoom room = PlaceWindowBars(r.state.window);
  int width = WindowWidth(r.state.window);
  ResizeGadget(r.state.gadget, 0, room.top, std::max(width - kMapWidth, 1), room.height);
  ResizeGadget(r.map, width - kMapWidth, room.top, kMapWidth, room.height);
}

void CallStyles(Requester& r, int initial) {
  if (r.styles) r.styles(r.state, 1, initial);
}

int64_t DisplayLines(int gadget) {
  return detail::DisplayLineStarts(gadget).back();
}

void ShowMap(Requester& r) {
  int image = Scintilla_RenderStylesMap(r.state.gadget, 3, true, &r.state.stylesMapEntries,
                                        Has(r, ETR_PixelStylesMap));
  SetGadgetImage(r.map, image);
}

void OpenContextMenu(Requester& r) {
  if (r.contextMenu) FreeMenu(r.contextMenu);
  bool readOnly = Has(r, ETR_ReadOnly);
  int menu = CreatePopupMenu(kNewNumber);
  if (!readOnly) Item(kEtrCut, "Cut", "Ctrl+X"), Bind(r, "Ctrl+X", kEtrCut);
  Item(kEtrCopy, "Copy", "Ctrl+C"), Bind(r, "Ctrl+C", kEtrCopy);
  if (!readOnly) Item(kEtrPaste, "Paste", "Ctrl+V"), Bind(r, "Ctrl+V", kEtrPaste);
  Item(kEtrSelectAll, "Select all", "Ctrl+A"), Bind(r, "Ctrl+A", kEtrSelectAll);
  r.contextMenu = menu;
  if (r.menuCallback) {
    int chosen = r.menuCallback(r.state, 0, menu);
    // The menu we built is ours to free when the callback shows another one (or none).
    if (chosen != menu) FreeMenu(menu);
    r.contextMenu = IsMenu(chosen) ? chosen : 0;
  }
  if (r.contextMenu) DisplayPopupMenu(r.contextMenu, r.state.window);
}

void TakeScreenshot(Requester& r) {
  int image = MakeScreenshotFromGadget(kNewNumber, r.state.gadget, 0, 0, 0, 0);
  if (MessageRequester("Kerbol", "Shall screenshot be set as actual screen?", kMessageYesNo) ==
      kResultYes) {
    std::string path = detail::ScreenshotFilePath();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (image && SaveImage(image, path, kImagePng)) r.screenshotTaken = true;
  } else if (MessageRequester("Kerbol", "Shall screenshot be stored to clipboard?",
                              kMessageYesNo) == kResultYes) {
    if (image) SetClipboardImage(image);
    r.screenshotTaken = true;
  }
  if (image) FreeImage(image);
  r.close = true;
}

void SaveAs(Requester& r) {
  std::string path = SaveFileRequester("Save text ...", "", "");
  if (path.empty()) return;
  if (!tolvek::WriteFileWhole(path, Scintilla_GetText(r.state.gadget)))
    MessageRequester("Save text ...", "The text could not be written to '" + path + "'!");
}

void ToggleWrap(Requester& r) {
  r.wrap = !r.wrap;
  if (r.wrap)
    Scintilla_EnableLineWrapping(r.state.gadget, Sci::SC_WRAP_CHAR, true);
  else
    Scintilla_DisableLineWrapping(r.state.gadget);
  if (r.menuBar) SetMenuItemState(r.menuBar, kEtrWrap, r.wrap);
  r.state.refreshStylesMap = true;
}

void MenuAction(Requester& r, int id) {
  int g = r.state.gadget;
  switch (id) {
    case kEtrSelectAll:
      ScintillaSendMessage(g, Sci::SCI_SELECTALL);
      break;
    case kEtrSelectNone:
    case kEtrEscape:
      ScintillaSendMessage(g, Sci::SCI_SETEMPTYSELECTION, 0);
      Scintilla_UnstyleAll(g);
      CallStyles(r, 0);
      break;
    case kEtrSaveAs:
      SaveAs(r);
      break;
    case kEtrCut:
      ScintillaSendMessage(g, Sci::SCI_CUT);
      break;
    case kEtrCopy:
      ScintillaSendMessage(g, Sci::SCI_COPY);
      break;
    case kEtrPaste:
      ScintillaSendMessage(g, Sci::SCI_PASTE);
      break;
    case kEtrFind:
      detail::FindAction(r.state, r.find);
      break;
    case kEtrFindNext:
      detail::FindNextAction(r.state, r.find);
      break;
    case kEtrFindList:
      detail::FindResultsAction(r.state, r.find);
      break;
    case kEtrWrap:
      ToggleWrap(r);
      break;
    case kEtrScreenshot:
      if (Has(r, ETR_ScreenshotMode)) TakeScreenshot(r);
      break;
    case kEtrStyles:
      r.state.showStyles = !r.state.showStyles;
      if (r.menuBar) SetMenuItemState(r.menuBar, kEtrStyles, r.state.showStyles);
      CallStyles(r, 0);
      break;
    default:
      if (id >= kEtrFirstCallerItem && Has(r, ETR_ContextMenu) && r.menuCallback)
        r.menuCallback(r.state, id, 0);
      break;
  }
}

void HandleEvent(Requester& r, int event, bool first) {
  int window = r.state.window;
  if (event == kEventSizeWindow || first) {
    Layout(r);
    int w = WindowWidth(window), h = WindowHeight(window);
    if (w != r.lastWidth || h != r.lastHeight) r.state.refreshStylesMap = true;
    r.lastWidth = w;
    r.lastHeight = h;
  } else if (event == kEventTimer && EventTimer() == kTimerLines) {
    int64_t lines = DisplayLines(r.state.gadget) - 1;
    if (lines != r.lastDisplayLines) r.state.refreshStylesMap = true;
    r.lastDisplayLines = lines;
  } else if (event == kEventTimer && EventTimer() == kTimerCallback) {
    if (r.timer) r.timer(r.state, 0);
    if (r.state.timerInterval != r.period) {
      r.period = r.state.timerInterval;
      RemoveWindowTimer(window, kTimerCallback);
      AddWindowTimer(window, kTimerCallback, int(r.period));
    }
  } else if (event == kEventGadget && EventGadget() == r.state.gadget &&
             EventSubtype() == kSubRightClick) {
    if (Has(r, ETR_ContextMenu)) OpenContextMenu(r);
  } else if (event == kEventCloseWindow || (event == kEventMenu && EventMenu() == kEtrDiscard)) {
    r.close = true;
  } else if (event == kEventMenu && EventMenu() == kEtrKeep) {
    r.keep = true;
  } else if (event == kEventMenu) {
    MenuAction(r, EventMenu());
  }
}

void EndOfTurn(Requester& r) {
  if (r.state.refreshStylesMap) {
    r.state.refreshStylesMap = false;
    ShowMap(r);
  }
  if (r.state.callTip != r.shownCallTip) {
    r.shownCallTip = r.state.callTip;
    int g = r.state.gadget;
    ScintillaSendMessage(g, Sci::SCI_CALLTIPCANCEL);
    if (!r.state.callTip.empty()) {
      intptr_t x = DesktopMouseX() - GadgetScreenX(g), y = DesktopMouseY() - GadgetScreenY(g);
      intptr_t at = ScintillaSendMessage(g, Sci::SCI_POSITIONFROMPOINT, uintptr_t(x), y);
      // The control shows UTF-8, so the tip goes in as it is.
      ScintillaSendMessage(g, Sci::SCI_CALLTIPSHOW, uintptr_t(at),
                           reinterpret_cast<intptr_t>(r.state.callTip.c_str()));
    }
  }
}

bool WriteTempText(int64_t handle, const std::string& text) {
  int fd = tolvek::TempFileDescriptor(handle);
  if (fd < 0) return false;
  std::string bytes = kBom + text;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

namespace detail {

int64_t EffectiveEditTextFlags(int64_t flags) {
  if (!(flags & ETR_ScreenshotMode)) return flags;
  return (flags & (ETR_WrapLines | ETR_PixelStylesMap)) | 0x5BF41;
}

std::string ScreenshotFilePath() {
  return tolvek::SystemTemporaryDirectory() + "Lintoq/kerbol.png";
}

int EditTextRequester(const std::string& title, const std::string& path, int parentWindow,
                      int64_t flags, const std::string& id, EditTextStylesCallback stylesCallback,
                      EditTextMenuCallback menuCallback, EditTextTimerCallback timerCallback) {
  TOLVEK_TRACE("_EditTextRequester");
  Requester r;
  r.styles = std::move(stylesCallback);
  r.menuCallback = std::move(menuCallback);
  r.timer = std::move(timerCallback);
  r.state.showStyles = true;
  flags = EffectiveEditTextFlags(flags);
  if (flags & ETR_ScreenshotMode) std::remove(ScreenshotFilePath().c_str());
  r.state.flags = flags;

  std::error_code error;
  bool empty = std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) == 0;
  std::string text = empty ? std::string() : tolvek::ReadFile2String(path, 0);

  bool hasParent = parentWindow != kNoParent && IsWindow(parentWindow);
  RequesterGeometry remembered;
  bool restored =
      Has(r, ETR_RememberGeometry) && RequesterGeometry_Load("EditTextRequester", id, remembered);
  uint32_t windowFlags = kWindowCloseBox | kWindowTitleBar | kWindowSizable | kWindowMaximizeBox;
  int x = 0, y = 0, w = 400, h = 300;
  if (restored) {
    x = remembered.x;
    y = remembered.y;
    w = remembered.width;
    h = remembered.height;
  } else if (hasParent) {
    x = WindowX(parentWindow) + WindowWidth(parentWindow) / 2 - 200;
    y = WindowY(parentWindow) + WindowHeight(parentWindow) / 2 - 150;
  } else {
    windowFlags |= kWindowScreenCentered;
  }
  if (Has(r, ETR_ScreenCentered)) windowFlags |= kWindowScreenCentered;
  r.state.window =
      OpenWindow(kNewNumber, x, y, w, h, title, windowFlags, hasParent ? parentWindow : kNoParent);
  int window = r.state.window;
  WindowMinimumSize(window, 250, 250);

  if (Has(r, ETR_MenuBar)) BuildMenuBar(r);
  if (Has(r, ETR_ToolBar)) BuildToolBar(r);
  if (Has(r, ETR_StatusBar)) {
    r.statusBar = CreateStatusBar(kNewNumber, window);
    if (Has(r, ETR_ScreenshotMode))
      StatusBarText(r.statusBar, 0,
                    "[Esc] ... Cancel        [Ctrl]+[f] ... Find        [Ctrl]+[s] ... "
                    "Screenshot        [Ctrl]+[w] ... Wrap lines");
  }
  UseGadgetList(window);
  BarRoom room = PlaceWindowBars(window);
  r.state.gadget =
      ScintillaGadget(kNewNumber, 0, room.top, WindowWidth(window) - kMapWidth, room.height);
  r.map =
      ImageGadget(kNewNumber, WindowWidth(window) - kMapWidth, room.top, kMapWidth, room.height, 0);
  SetGadgetName(r.state.gadget, "editor");
  SetGadgetName(r.map, "map");
  int g = r.state.gadget;
  Scintilla_InitGadget(g, Has(r, ETR_LineNumbers) ? 5 : 0);
  r.find.hitIndicator =
      Scintilla_CreateIndicatorStyle(g, Sci::INDIC_STRAIGHTBOX, Rgb(255, 255, 0), 220, 128);
  r.find.allIndicator =
      Scintilla_CreateIndicatorStyle(g, Sci::INDIC_STRAIGHTBOX, Rgb(255, 165, 0), 220, 128);
  CallStyles(r, 1);
  Scintilla_SetText(g, text);
  CallStyles(r, 0);
  if (Has(r, ETR_ReadOnly)) Scintilla_SetReadonly(g, 1);
  if (Has(r, ETR_WrapLines)) {
    Scintilla_EnableLineWrapping(g, Sci::SC_WRAP_CHAR, true);
    if (r.menuBar) SetMenuItemState(r.menuBar, kEtrWrap, true);
    r.wrap = true;
  }
  SetActiveWindow(window);
  if (Has(r, ETR_StayOnTop)) StickyWindow(window, true);
  bool disableParent = Has(r, ETR_DisableParent) && parentWindow != kNoParent;
  if (disableParent) DisableWindow(parentWindow, true);
  Bind(r, "Escape", Has(r, ETR_EscapeCloses) ? kEtrDiscard : kEtrEscape);
  if (Has(r, ETR_CtrlEnterKeeps)) {
    Bind(r, "Ctrl+Return", kEtrKeep);
    Bind(r, "Ctrl+Enter", kEtrKeep);
  }
  r.state.refreshStylesMap = true;
  SetActiveGadget(g);
  AddWindowTimer(window, kTimerLines, 1000);
  if (r.timer) {
    r.period = 100;
    r.state.timerInterval = 100;
    r.timer(r.state, 1);
    if (r.state.timerInterval != r.period) r.period = r.state.timerInterval;
    AddWindowTimer(window, kTimerCallback, int(r.period));
  }

  bool first = true;
  while (!r.close && !r.keep) {
    int event = first ? kEventNone : WaitWindowEvent();
    if (first || EventWindow() == window) HandleEvent(r, event, first);
    EndOfTurn(r);
    first = false;
    // The program is to end: the window closes without keeping the edits.
    if (IsEndRequested()) r.close = true;
  }

  if (Has(r, ETR_RememberGeometry) && !r.screenshotTaken)
    RequesterGeometry_Save("EditTextRequester", id, window);
  std::string kept = r.keep ? Scintilla_GetText(g) : std::string();
  if (r.contextMenu) FreeMenu(r.contextMenu);
  if (r.menuBar) FreeMenu(r.menuBar);
  CloseWindow(window);
  if (disableParent && IsWindow(parentWindow)) DisableWindow(parentWindow, false);
  // Success only when the edits are on disk: a failed write reports nothing kept.
  return r.keep && tolvek::WriteFileWhole(path, kBom + kept) ? 1 : 0;
}

}  // namespace detail

std::string EditTextRequesterFromString(const std::string& title, const std::string& text,
                                        int parentWindow, int64_t flags, const std::string& id,
                                        EditTextStylesCallback stylesCallback,
                                        EditTextMenuCallback menuCallback,
                                        EditTextTimerCallback timerCallback) {
  TOLVEK_TRACE("EditTextRequesterFromString");
  int64_t handle = tolvek::CreateTempFile(false, false, "tmp");
  // Without a file to hand the edits back through, editing would lose them: nothing opens.
  if (handle <= 0) return text;
  bool written = WriteTempText(handle, text);
  int64_t id64 = tolvek::CloseTempFile(handle);
  std::string path = tolvek::GetTempFilePath(id64);
  std::string result = text;
  if (written && !path.empty() &&
      detail::EditTextRequester(title, path, parentWindow, flags, id, std::move(stylesCallback),
                                std::move(menuCallback), std::move(timerCallback)))
    result = tolvek::ReadFile2String(path, 0);
  tolvek::DeleteTempFile(id64);
  return result;
}

}  // namespace gui
