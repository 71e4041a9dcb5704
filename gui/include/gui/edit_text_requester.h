// The modal text viewer/editor: a text in an editor control with optional menu bar, tool
// bar and status bar, find and find results, the styles map beside it, and callbacks that
// style the text, extend the context menu and run periodic work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/scintilla_wrapper.h"

namespace gui {

enum EditTextRequesterFlags : int64_t {
  ETR_RememberGeometry = 0x1,
  ETR_StayOnTop = 0x2,
  ETR_DisableParent = 0x4,
  ETR_MenuNew = 0x8,
  ETR_MenuOpen = 0x10,
  ETR_MenuSave = 0x20,
  ETR_MenuSaveAs = 0x40,
  ETR_KeepDiscard = 0x80,
  ETR_MenuClose = 0x100,
  ETR_MenuBar = 0x200,
  ETR_ToolBar = 0x400,
  ETR_StatusBar = 0x800,
  ETR_ScreenCentered = 0x1000,
  ETR_EscapeCloses = 0x2000,
  ETR_CtrlEnterKeeps = 0x4000,
  ETR_ReadOnly = 0x8000,
  ETR_ScreenshotMode = 0x10000,
  ETR_WrapLines = 0x20000,
  ETR_ContextMenu = 0x40000,
  ETR_LineNumbers = 0x80000,
  ETR_PixelStylesMap = 0x100000,
};

// Menu ids of the requester's entries and keys.
enum EditTextRequesterMenu : int {
  kEtrDiscard = 1,
  kEtrKeep = 2,
  kEtrSelectAll = 3,
  kEtrSelectNone = 4,
  kEtrNew = 7,
  kEtrOpen = 8,
  kEtrSave = 9,
  kEtrSaveAs = 10,
  kEtrClose = 11,
  kEtrCut = 12,
  kEtrCopy = 13,
  kEtrPaste = 14,
  kEtrFind = 15,
  kEtrFindNext = 16,
  kEtrWrap = 17,
  kEtrEscape = 18,
  kEtrScreenshot = 19,
  kEtrFindList = 20,
  kEtrStyles = 21,
  kEtrFirstCallerItem = 100,
};

struct EditTextRequesterState {
  int window = 0;
  int gadget = 0;
  int64_t flags = 0;
  bool refreshStylesMap = false;
  std::vector<StylesMapEntry> stylesMapEntries;
  std::string findText;
  std::string callTip;  // shown at the mouse position at the end of the loop's turn
  int64_t timerInterval = 0;
  bool showStyles = true;
};

using EditTextStylesCallback =
    std::function<void(EditTextRequesterState& state, int second, int initial)>;
// item 0: menu is the fresh context menu; return the menu to show (0 for none).
using EditTextMenuCallback = std::function<int(EditTextRequesterState& state, int item, int menu)>;
using EditTextTimerCallback = std::function<void(EditTextRequesterState& state, int initial)>;

// The edited text when the user kept it, else text unchanged.
std::string EditTextRequesterFromString(const std::string& title, const std::string& text,
                                        int parentWindow, int64_t flags, const std::string& id,
                                        EditTextStylesCallback stylesCallback = nullptr,
                                        EditTextMenuCallback menuCallback = nullptr,
                                        EditTextTimerCallback timerCallback = nullptr);

namespace detail {
// 1 when the user kept the text and it was written to path; 0 otherwise (also when the
// kept text could not be written: the file is then left as it was).
int EditTextRequester(const std::string& title, const std::string& path, int parentWindow,
                      int64_t flags, const std::string& id, EditTextStylesCallback stylesCallback,
                      EditTextMenuCallback menuCallback, EditTextTimerCallback timerCallback);
// The flags a call works with (screenshot mode replaces the caller's).
int64_t EffectiveEditTextFlags(int64_t flags);
// Where screenshot mode saves its picture.
std::string ScreenshotFilePath();

// Find state of one requester call.
struct TextFind {
  std::string text;
  int64_t position = 0;
  int hitIndicator = 0, allIndicator = 0;
};
void FindAction(EditTextRequesterState& state, TextFind& find);
void FindNextAction(EditTextRequesterState& state, TextFind& find);
void FindResultsAction(EditTextRequesterState& state, TextFind& find);
// One row of the results list: line, "|", the shown text escaped for the pick list.
std::string FindResultRow(int64_t line, const std::string& shown);
// The text entered last in any find box of the program's run.
std::string& LastFindText();
}  // namespace detail

}  // namespace gui
