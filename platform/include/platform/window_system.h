// The window-system layer: numbered windows, gadgets, menus, fonts, images and timers,
// one event queue and nested loops, on Qt 6 Widgets. Callers never see a Qt type except
// through the few boundary accessors at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QApplication;
class QWidget;
class QImage;

namespace platform {

// "Give me a new number" for every creating call; the call returns the number it used.
constexpr int kNewNumber = -1;
// No parent window, or "keep this value" for position and size arguments.
constexpr int kNoParent = -65535;
constexpr int kKeepValue = -65535;

// Colours are red | green << 8 | blue << 16, the alpha byte 0 (or alpha << 24 for images).
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | (g << 8) | (b << 16);
}
constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return r | (g << 8) | (b << 16) | (a << 24);
}
constexpr uint32_t kDefaultColour = 0xFFFFFFFFu;  // back to the style's colour

// Creates the application object when there is none yet (the tests and the demo own theirs).
QApplication& EnsureApplication(int& argc, char** argv);

// ---------------------------------------------------------------------------------- windows
enum WindowFlags : uint32_t {
  kWindowCloseBox = 1,
  kWindowTitleBar = 2,
  kWindowTool = 4,
  kWindowSizable = 8,
  kWindowMaximizeBox = 16,
  kWindowBorderless = 32,
  kWindowScreenCentered = 64,
  kWindowParentCentered = 128,
  kWindowInvisible = 256,
  kWindowStayOnTop = 512,
  kWindowMinimizeBox = 1024,
};
enum WindowState { kWindowNormal = 0, kWindowMaximized = 1, kWindowMinimized = 2 };

// x, y: the frame's position on the screen; width, height: the inner (client) size.
int OpenWindow(int window, int x, int y, int innerWidth, int innerHeight, const std::string& title,
               uint32_t flags = kWindowCloseBox | kWindowTitleBar, int parent = kNoParent);
void CloseWindow(int window);
void CloseAllWindows();
bool IsWindow(int window);
int WindowOwner(int window);  // kNoParent when it has none
void SetWindowTitle(int window, const std::string& title);
std::string GetWindowTitle(int window);
void SetWindowColor(int window, uint32_t colour);
int WindowX(int window);       // frame
int WindowY(int window);       // frame
int WindowWidth(int window);   // inner
int WindowHeight(int window);  // inner
// Any argument may be kKeepValue.
void ResizeWindow(int window, int x, int y, int innerWidth, int innerHeight);
// The inner area's corner on the screen, and ResizeWindow with x and y that corner. A window
// manager may frame a window only after it is shown, so a frame corner given back at the
// start can place the inner area there instead; the inner corner always goes back where it
// was.
int WindowInnerX(int window);
int WindowInnerY(int window);
void ResizeWindowInner(int window, int x, int y, int innerWidth, int innerHeight);
void WindowMinimumSize(int window, int innerWidth, int innerHeight);
void SetWindowState(int window, WindowState state);
WindowState GetWindowState(int window);
void DisableWindow(int window, bool disable);
bool IsWindowEnabled(int window);
void HideWindow(int window, bool hide);
void StickyWindow(int window, bool onTop);
void SetActiveWindow(int window);
int GetActiveWindow();  // -1 when none of ours is active

// ---------------------------------------------------------------------------------- events
enum EventType : int {
  kEventNone = 0,
  kEventGadget,
  kEventMenu,  // menu items, keyboard shortcuts and posted menu events
  kEventCloseWindow,
  kEventSizeWindow,
  kEventMoveWindow,
  kEventActivateWindow,
  kEventDeactivateWindow,
  kEventRestoreWindow,
  kEventTimer,
  kEventLeftClick,  // on the window itself, outside any gadget
};
// Subtypes of gadget events. A posted gadget event with subtype 0 reads as a left click.
enum EventSubtype : int {
  kSubLeftClick = 0,
  kSubRightClick,
  kSubLeftDoubleClick,
  kSubRightDoubleClick,
  kSubChange,
  kSubFocus,
  kSubLostFocus,
  // canvases
  kSubMouseMove,
  kSubLeftButtonDown,
  kSubLeftButtonUp,
  kSubRightButtonDown,
  kSubRightButtonUp,
  kSubMiddleButtonDown,
  kSubMiddleButtonUp,
  kSubMouseWheel,
  kSubKeyDown,
  kSubKeyUp,
  kSubInput,
};

// Runs the loop until an event is queued or timeoutMs has passed (-1: no limit) and makes
// it the current event. Returns its type, kEventNone on time-out.
int WaitWindowEvent(int timeoutMs = -1);
// Lets Qt deliver what is pending and takes the next event without waiting.
int WindowEvent();
int EventWindow();
int EventGadget();
int EventKind();     // the current event's type
int EventSubtype();  // gadget events
int EventMenu();     // menu events
int EventTimer();    // timer events
int EventData();     // wheel delta, key code, character
int EventMouseX();   // gadget-relative position of mouse events
int EventMouseY();
// The keys and mouse buttons held when a canvas's wheel, mouse or key event was queued; a
// released button no longer counts as held at its own button-up event.
enum EventModifier : int { kModifierShift = 1, kModifierCtrl = 2, kModifierAlt = 4 };
enum MouseButton : int { kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4 };
int EventModifiers();
int EventButtons();
// Queues an event exactly as if it had come from the user (menu: data = menu id).
void PostEvent(int type, int window, int gadget, int subtype = 0, int data = 0);
// Calls onReadable on the GUI thread whenever fd has data to read, from whichever loop runs
// (a requester's too): the way a signal handler's pipe reaches the program's own code.
void WatchReadable(int fd, std::function<void()> onReadable);
// A request to end the program (a logout, a closed terminal) may come while any loop runs,
// a dialog's nested one too. RequestEnd rejects the open message boxes and file and colour
// dialogs and wakes the waiting loop. From then on no event is handed out: the waits return
// kEventNone at once, and message boxes and dialogs answer as if cancelled without showing.
// Each loop then leaves as its Cancel does, down to the outermost, which ends the program.
void RequestEnd();
bool IsEndRequested();
// Drops every queued event (tests).
void FlushEvents();
size_t QueuedEventCount();

// Repeats every ms until removed; at most one event per timer waits in the queue, so an
// event a nested loop took and dropped is simply sent again at the next period.
void AddWindowTimer(int window, int timer, int ms);
void RemoveWindowTimer(int window, int timer);

// key: a key sequence such as "Escape", "Return", "Ctrl+F". Posts menu event menuId.
// A shortcut acts wherever the focus is in the window (a button, a list, a canvas), except
// for the keys a focused text field (string, editable combo box, spin, editor) edits with:
// characters, Space, the arrows, Home, End, Backspace and Delete (also with Shift or Ctrl),
// cut, copy, paste, undo and select-all, and in a multi-line field Return and the page keys.
// Those stay with the field. A read-only field keeps only copy and select-all.
void AddKeyboardShortcut(int window, const std::string& key, int menuId);
// A window whose single-line fields also keep Return and Escape (a path being typed is not a
// command); requesters leave them to their shortcuts, which confirm and cancel.
void KeepFieldConfirmKeys(int window, bool keep);
void RemoveKeyboardShortcut(int window, const std::string& key);

// ---------------------------------------------------------------------------------- gadgets
enum GadgetKind : int {
  kGadgetText = 1,
  kGadgetString,
  kGadgetButton,
  kGadgetButtonImage,
  kGadgetCheckBox,
  kGadgetOption,
  kGadgetComboBox,
  kGadgetSpin,
  kGadgetTrackBar,
  kGadgetProgressBar,
  kGadgetListIcon,
  kGadgetTree,
  kGadgetEditor,
  kGadgetImage,
  kGadgetContainer,
  kGadgetFrame,
  kGadgetScrollArea,
  kGadgetCanvas,
};
enum GadgetFlags : uint32_t {
  kTextCenter = 1,
  kTextRight = 2,
  kTextBorder = 4,
  kStringReadOnly = 1,
  kStringPassword = 2,
  kStringNumeric = 4,
  kButtonToggle = 1,
  kButtonDefault = 2,
  kComboEditable = 1,
  kListIconCheckBoxes = 1,
  kListIconMultiSelect = 2,
  kListIconFullRowSelect = 4,
  kListIconAlwaysShowSelection = 8,
  kListIconGridLines = 16,
  kEditorReadOnly = 1,
  kEditorWordWrap = 2,
  kCanvasKeyboard = 1,
  kCanvasBorder = 2,
  kScrollAreaBorderless = 1,  // the whole area is view: a picture of its size shows whole
};
enum ColourKind : int { kFrontColor = 1, kBackColor = 2 };
// Item states of list icons and trees.
enum ItemState : int { kItemSelected = 1, kItemChecked = 2, kItemExpanded = 4 };

// Gadgets go to the current gadget list: the window opened last, or the one named here.
void UseGadgetList(int window);
void CloseGadgetList();  // after a container or scroll area

int TextGadget(int gadget, int x, int y, int w, int h, const std::string& text, uint32_t flags = 0);
int StringGadget(int gadget, int x, int y, int w, int h, const std::string& text,
                 uint32_t flags = 0);
int ButtonGadget(int gadget, int x, int y, int w, int h, const std::string& text,
                 uint32_t flags = 0);
// image: an image number or 0; the pressed picture is set with SetButtonPressedImage.
int ButtonImageGadget(int gadget, int x, int y, int w, int h, int image, uint32_t flags = 0);
void SetButtonPressedImage(int gadget, int image);
// Image gadgets and picture buttons (their normal picture) show another image; 0 shows none.
void SetGadgetImage(int gadget, int image);
// Spin and track bar; the value is kept within the new range without an event.
void SetGadgetRange(int gadget, int minimum, int maximum);
int CheckBoxGadget(int gadget, int x, int y, int w, int h, const std::string& text);
int OptionGadget(int gadget, int x, int y, int w, int h, const std::string& text);
int ComboBoxGadget(int gadget, int x, int y, int w, int h, uint32_t flags = 0);
int SpinGadget(int gadget, int x, int y, int w, int h, int minimum, int maximum);
int TrackBarGadget(int gadget, int x, int y, int w, int h, int minimum, int maximum);
// 64-bit ranges are scaled onto the control's int range.
int ProgressBarGadget(int gadget, int x, int y, int w, int h, int64_t minimum, int64_t maximum);
int ListIconGadget(int gadget, int x, int y, int w, int h, const std::string& firstTitle,
                   int firstWidth, uint32_t flags = 0);
int TreeGadget(int gadget, int x, int y, int w, int h);
int EditorGadget(int gadget, int x, int y, int w, int h, uint32_t flags = 0);
int ImageGadget(int gadget, int x, int y, int w, int h, int image);
int ContainerGadget(int gadget, int x, int y, int w, int h);
int FrameGadget(int gadget, int x, int y, int w, int h, const std::string& text);
int ScrollAreaGadget(int gadget, int x, int y, int w, int h, int innerW, int innerH,
                     uint32_t flags = 0);
// The inner size may change later (a picture zoomed in its view); the scroll position stays
// where it was as far as the new range allows. Positions are the inner area's pixels shown
// at the top left corner.
void SetScrollAreaInnerSize(int gadget, int innerW, int innerH);
int GetScrollAreaX(int gadget);
int GetScrollAreaY(int gadget);
void SetScrollAreaPosition(int gadget, int x, int y);  // kKeepValue keeps
// A canvas draws from a back buffer that drawing calls fill; it posts mouse, wheel and
// (with kCanvasKeyboard) keyboard events. With kCanvasBorder a one-pixel frame surrounds the
// buffer, which is then that much smaller than the gadget; positions are the buffer's.
int CanvasGadget(int gadget, int x, int y, int w, int h, uint32_t flags = 0);
// The size of a canvas's buffer: what drawing on it shows (0 for another gadget).
int CanvasWidth(int gadget);
int CanvasHeight(int gadget);

bool IsGadget(int gadget);
int GadgetKindOf(int gadget);
int GadgetWindow(int gadget);
void FreeGadget(int gadget);
void SetGadgetName(int gadget, const std::string& name);
std::string GetGadgetName(int gadget);
// Programmatic changes below post no events; only the user's changes do.
void SetGadgetText(int gadget, const std::string& text);
std::string GetGadgetText(int gadget);
// Check box / option / toggle: 0 or 1; combo, list icon, tree: the current item or -1;
// spin, track bar, progress bar: the value.
void SetGadgetState(int gadget, int64_t state);
int64_t GetGadgetState(int gadget);
void SetGadgetColor(int gadget, int kind, uint32_t colour);
uint32_t GetGadgetColor(int gadget, int kind);
void SetGadgetFont(int gadget, int font);  // font 0: the standard font
void GadgetToolTip(int gadget, const std::string& text);
void HideGadget(int gadget, bool hide);
bool IsGadgetHidden(int gadget);
void DisableGadget(int gadget, bool disable);
bool IsGadgetEnabled(int gadget);
void SetActiveGadget(int gadget);
int GetActiveGadget();    // -1 when none of ours has the focus
int GadgetX(int gadget);  // in the window's client area
int GadgetY(int gadget);
int GadgetWidth(int gadget);
int GadgetHeight(int gadget);
int GadgetScreenX(int gadget);
int GadgetScreenY(int gadget);
void ResizeGadget(int gadget, int x, int y, int w, int h);  // kKeepValue keeps
// The size the gadget needs to show its content.
int GadgetRequiredWidth(int gadget);
int GadgetRequiredHeight(int gadget);

// Items of combo boxes, list icons, trees and editors. position -1 appends. For list
// icons the text holds the cells separated by LF; for trees level is the depth.
void AddGadgetItem(int gadget, int position, const std::string& text, int image = 0, int level = 0);
void RemoveGadgetItem(int gadget, int item);
void ClearGadgetItems(int gadget);
int CountGadgetItems(int gadget);
std::string GetGadgetItemText(int gadget, int item, int column = 0);
void SetGadgetItemText(int gadget, int item, const std::string& text, int column = 0);
void SetGadgetItemState(int gadget, int item, int state);
int GetGadgetItemState(int gadget, int item);
void SetGadgetItemData(int gadget, int item, int64_t data);
int64_t GetGadgetItemData(int gadget, int item);
// column -1: the whole row.
void SetGadgetItemColor(int gadget, int item, int kind, uint32_t colour, int column = -1);
uint32_t GetGadgetItemColor(int gadget, int item, int kind, int column = 0);
void SetGadgetItemFont(int gadget, int item, int font, int column = -1);
void SetGadgetItemImage(int gadget, int item, int image);
bool GadgetItemHasImage(int gadget, int item);

// List icon columns. A width of 0 or less hides the column.
void AddGadgetColumn(int gadget, int position, const std::string& title, int width);
int CountGadgetColumns(int gadget);
std::string GetGadgetColumnTitle(int gadget, int column);
void SetGadgetColumnWidth(int gadget, int column, int width);
int GetGadgetColumnWidth(int gadget, int column);
// The width the column's title needs to show whole in the header's font; 0 for a hidden
// column.
int GadgetColumnTitleWidth(int gadget, int column);
// Hit tests in gadget coordinates (as EventMouseX/Y give them), scrolling included.
int ListIconRowAt(int gadget, int x, int y);  // -1 when no row is there
int ListIconColumnAt(int gadget, int x);      // -1 when no column is there

// ------------------------------------------------------------------------------------ menus
int CreatePopupMenu(int menu);
int CreateMenuBar(int menu, int window);
void MenuTitle(const std::string& title);  // the next items go under this title of the bar
void MenuItem(int id, const std::string& text);
void MenuBar();  // a separator
void OpenSubMenu(const std::string& text);
void CloseSubMenu();
void DisableMenuItem(int menu, int id, bool disable);
void SetMenuItemState(int menu, int id, bool checked);
bool GetMenuItemState(int menu, int id);
void SetMenuItemText(int menu, int id, const std::string& text);
// x, y: screen position; kKeepValue for both shows the menu at the pointer.
void DisplayPopupMenu(int menu, int window, int x = kKeepValue, int y = kKeepValue);
void FreeMenu(int menu);
bool IsMenu(int menu);
int CreateStatusBar(int statusBar, int window);
// Fields are numbered from 0 in the order they were added, left to right, width in pixels.
// A bar without fields shows its text over the whole bar, whatever the field.
void AddStatusBarField(int statusBar, int width);
void StatusBarText(int statusBar, int field, const std::string& text);
// Heights in pixels of a window's bars, so the space between them can be laid out; 0 for an
// unknown bar.
int MenuBarHeight(int menu);
int StatusBarHeight(int statusBar);
int ToolBarHeight(int toolBar);
// Lays a window's bars across it at their natural heights, the menu bar at the top, the tool
// bar below it and the status bar at the bottom, and returns the room left between them.
struct BarRoom {
  int top, height;
};
BarRoom PlaceWindowBars(int window);
enum StandardToolImage : int {
  kToolOpen = 1,
  kToolSave,
  kToolNew,
  kToolCopy,
  kToolFind,
  kToolCut,
  kToolPaste,
  kToolDelete
};
int CreateToolBar(int toolBar, int window);
// The picture comes from the desktop's icon theme when it has one, else the layer draws it.
void ToolBarStandardButton(int id, int standardImage);
void ToolBarImageButton(int id, int image);
void ToolBarSeparator();
void ToolBarToolTip(int toolBar, int id, const std::string& text);

// -------------------------------------------------------------------------------- resources
enum FontStyle : uint32_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrikeOut = 8
};
// face "" lets the system choose; returns 0 when the font cannot be had.
int LoadFont(int font, const std::string& face, int points, uint32_t style = 0);
bool IsFont(int font);
void FreeFont(int font);
std::string FontFace(int font);
int FontPoints(int font);
uint32_t FontStyleOf(int font);

int CreateImage(int image, int width, int height, uint32_t colour = Rgba(0, 0, 0, 255));
int CopyImage(int image, int copy);
int GrabImage(int image, int copy, int x, int y, int w, int h);
// A copy of the picture a canvas gadget shows (its whole drawing area); 0 for no canvas.
int GrabCanvasImage(int gadget, int copy);
// PNG, JPEG and BMP from memory or a file; 0 for anything else, damaged data or a file that
// cannot be read.
int CatchImage(int image, const void* data, size_t size);
int LoadImage(int image, const std::string& path);
// As LoadImage, but a picture whose header declares more than maxSide pixels on a side or more
// than maxPixels in all is refused before its pixels are decoded; tooLarge tells that refusal
// from a file that cannot be read.
int LoadImageWithin(int image, const std::string& path, int64_t maxSide, int64_t maxPixels,
                    bool& tooLarge);
// BMP and TGA keep the alpha channel (32 bits); JPEG, which has none, is laid over white. ICO
// holds at most 256 x 256 pixels: a larger picture is scaled down to fit. ICO and TIFF need
// the system's image format plugins; without them nothing is written and the result is false.
enum ImageFormat : int { kImagePng = 1, kImageJpeg, kImageBmp, kImageTga, kImageIco, kImageTiff };
bool SaveImage(int image, const std::string& path, int format = kImagePng, int quality = 90);
bool IsImage(int image);
void FreeImage(int image);
int ImageWidth(int image);
int ImageHeight(int image);
uint32_t ImagePixel(int image, int x, int y);  // Rgba
void SetImagePixel(int image, int x, int y, uint32_t rgba);

// -------------------------------------------------------------------------------- services
enum MessageFlags : int { kMessageOk = 0, kMessageYesNo = 1, kMessageYesNoCancel = 2 };
enum MessageResult : int { kResultOk = 1, kResultYes = 6, kResultNo = 7, kResultCancel = 2 };
int MessageRequester(const std::string& title, const std::string& text, int flags = kMessageOk);
// pattern: "Text (*.txt)|*.txt|All (*.*)|*.*"; the pattern'th pair is preselected.
std::string OpenFileRequester(const std::string& title, const std::string& preset,
                              const std::string& pattern, int patternPosition = 0);
std::string SaveFileRequester(const std::string& title, const std::string& preset,
                              const std::string& pattern, int patternPosition = 0);
// The pattern pair chosen in the last file dialog, counted from 0: the preselected one when the
// user kept it or cancelled, 0 when that was none; 0 before any dialog.
int SelectedFilePattern();
int64_t ColorRequester(uint32_t colour);  // -1 when cancelled
void SetClipboardText(const std::string& text);
std::string GetClipboardText();
void SetClipboardImage(int image);
int GetClipboardImage(int image);  // 0 when the clipboard holds none

struct Monitor {
  int x, y, width, height;
};
std::vector<Monitor> Monitors();  // the primary first
int DesktopMouseX();
int DesktopMouseY();
int CaptureScreen(int image, int x, int y, int w, int h);
enum CursorShape : int {
  kCursorDefault = 0,
  kCursorCross,
  kCursorHand,
  kCursorBusy,
  kCursorIBeam,
  kCursorSizeAll,
  kCursorSizeWE,    // the resize arrows: left-right,
  kCursorSizeNS,    // up-down,
  kCursorSizeNWSE,  // top left to bottom right,
  kCursorSizeNESW   // top right to bottom left
};
void SetGadgetCursor(int gadget, int shape);

// ------------------------------------------------------------------------------ test seams
// Called whenever a loop is about to wait or finds no event queued; tests answer blocking
// requesters from it.
void SetLoopHook(std::function<void()> hook);
// The clock ElapsedMilliseconds reads; nullptr restores the real one.
void SetClock(std::function<int64_t()> clock);
int64_t ElapsedMilliseconds();
// Window timers armed while this is on run on the injected clock instead of real time: a
// timer is due once ElapsedMilliseconds() has passed its period, and its event is queued when
// a loop next looks for events or QueueDueTimers is called. Tests step time so.
void SetTimersOnClock(bool onClock);
// Queues the events of the timers due on the clock; the number queued.
int QueueDueTimers();
// Answers for the next message boxes and file dialogs, first in first out. While answers
// are scripted no dialog is shown; the texts shown are recorded.
void ScriptMessageAnswer(int result);
// pattern: the pattern pair the user is to have chosen; -1 keeps the preselected one.
void ScriptFileAnswer(const std::string& path, int pattern = -1);
void ScriptColourAnswer(int64_t colour);
struct ShownMessage {
  std::string title, text;
};
std::vector<ShownMessage> ShownMessages();
void ClearScriptedAnswers();
// Test seam: while set, a message box, file or colour dialog without a scripted answer is not
// shown; the handler is told its title and text and the dialog answers as if cancelled (the
// message box with Cancel, No or Ok, whichever it offers). Kept until set to nullptr.
void SetUnscriptedDialogHandler(
    std::function<void(const std::string& title, const std::string& text)> handler);
int FindWindowByTitle(const std::string& title);  // -1 when none
int FindGadgetByName(int window, const std::string& name);
// The popup menu shown last (-1 when none) and its items as "id:text" lines; a separator is
// "-", a submenu ">text" followed by its own items indented by two blanks.
int LastShownPopupMenu();
std::vector<std::string> MenuItemTexts(int menu);
// Triggers a menu item as a click would.
bool TriggerMenuItem(int menu, int id);
// Closes every window and frees every object; the numbers start again.
void ResetLayer();

// ----------------------------------------------------------------------- the Qt boundary
QWidget* WindowWidget(int window);
QWidget* GadgetWidget(int gadget);
QImage* ImageData(int image);
// Drawing of later layers goes to a canvas's back buffer; this shows it again.
QImage* CanvasBuffer(int gadget);
void RefreshCanvas(int gadget);

}  // namespace platform
