// The numbers of the workbench's windows, menus, menu items, timers and pictures.
#pragma once

namespace workbench {

// Window numbers of the workbench (the layer's own numbers start far above these).
enum WindowNumber : int {
  Window_Main = 1,
  Window_RenderOptions,
  Window_Options,
  Window_AddFilter,
  Window_Donation,
  Window_Splash,
};

// Popup menus 0 to 5 of the menu bar.
inline constexpr int kMenuBase = 300;
enum MainMenu : int {
  Menu_File = kMenuBase,
  Menu_Edit,
  Menu_View,
  Menu_Filters,
  Menu_Plugins,
  Menu_Help,
};

// Menu item ids; keyboard shortcuts and posted menu events use the same ids.
enum MenuItemId : int {
  MenuItem_New = 0,
  MenuItem_Open = 1,
  MenuItem_Save = 2,
  MenuItem_SaveAs = 3,
  MenuItem_Export = 4,
  MenuItem_Exit = 5,
  MenuItem_Find = 6,
  MenuItem_ResetFind = 7,
  MenuItem_Colors = 8,
  MenuItem_Options = 9,
  MenuItem_Refresh = 10,
  MenuItem_FramesAll = 11,
  MenuItem_FramesAllRle = 12,
  MenuItem_FramesUnique = 13,
  MenuItem_ViewCurrentFrame = 14,
  MenuItem_NextFrame = 15,
  MenuItem_PreviousFrame = 16,
  MenuItem_FirstFrame = 17,
  MenuItem_LastFrame = 18,
  MenuItem_PlayStop = 19,
  MenuItem_SessionServers = 20,
  MenuItem_SessionRegistry = 21,
  MenuItem_SessionFiles = 22,
  MenuItem_GlobalServers = 23,
  MenuItem_GlobalRegistry = 24,
  MenuItem_GlobalFiles = 25,
  MenuItem_PluginsManager = 26,
  MenuItem_Plugin1 = 27,
  MenuItem_Plugin9 = 35,
  MenuItem_Legend = 36,
  MenuItem_QuickHelp = 37,
  MenuItem_UpdateCheck = 38,
  MenuItem_BugReport = 39,
  MenuItem_Donate = 40,
  MenuItem_Credits = 41,
  MenuItem_About = 42,
  MenuItem_AddFilterFirst = 1000,
  MenuItem_AddFilterLast = 1002,
  MenuItem_NodeDetails = 1003,
  // Return and Enter in the add-filter dialog.
  MenuItem_AddFilterConfirm = 1004,
  MenuItem_PluginBase = 5000,
};

// Main-window timers.
enum MainTimer : int {
  TimerRedraw = 1,
  TimerRedrawForced = 2,
  TimerContextMenu = 3,
  TimerAnimation = 4,
  TimerLeftClick = 5,
};

// The main window's pictures, in their fixed order, plus the pressed force-ASCII picture.
enum Picture : int {
  Picture_AnimationFirst = 0,
  Picture_AnimationPrevious,
  Picture_AnimationPlay,
  Picture_AnimationStop,
  Picture_AnimationNext,
  Picture_AnimationLast,
  Picture_Logo,
  Picture_AnimationShow,
  Picture_FramesUnique,
  Picture_FramesAll,
  Picture_FramesAllRle,
  Picture_RenderingOptions,
  Picture_ForceAscii,
  Picture_Donation,
  Picture_ForceAsciiPressed,
  kPictureCount
};

}  // namespace workbench
