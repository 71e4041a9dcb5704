#include "workbench/main_window.h"

#include <string>

#include "gui/fake_menu.h"
#include "platform/box_layout.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/embedded_files.h"
#include "workbench/gadgets.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kPictureFiles[kPictureCount] = {
    "frame_first.png",    "frame_previous.png",   "animation_play.png",
    "animation_stop.png", "frame_next.png",       "frame_last.png",
    "logo.png",           "frames_mode.png",      "timeline_unique.png",
    "timeline_all.png",   "timeline_all_rle.png", "render_options.png",
    "text_unicode.png",   "donation.png",         "text_ascii.png",
};

struct PictureUse {
  int gadget;
  Picture picture;
};
constexpr PictureUse kButtonPictures[] = {
    {Button_Main_AnimationFirst, Picture_AnimationFirst},
    {Button_Main_AnimationPrevious, Picture_AnimationPrevious},
    {Button_Main_AnimationPlay, Picture_AnimationPlay},
    {Button_Main_AnimationStop, Picture_AnimationStop},
    {Button_Main_AnimationNext, Picture_AnimationNext},
    {Button_Main_AnimationLast, Picture_AnimationLast},
    {Button_Main_AnimationShow, Picture_AnimationShow},
    {Button_Main_AnimationFramesUnique, Picture_FramesUnique},
    {Button_Main_AnimationFramesAll, Picture_FramesAll},
    {Button_Main_AnimationFramesAllRle, Picture_FramesAllRle},
    {Button_Main_RenderingOptions, Picture_RenderingOptions},
    {Button_Main_ForceAscii, Picture_ForceAscii},
};

constexpr const char* kTimelineModeTip =
    "Select your desired timeline-mode (All-Events, All-Events-RLE or Unique-Events).";
struct ToolTip {
  int gadget;
  const char* text;
};
constexpr ToolTip kToolTips[] = {
    {Button_Main_Refresh, "Refresh graph with the currently selected options."},
    {Checkbox_Main_ModeNoPaths,
     "This option lets you specify if files and registry-keys should show up with full "
     "qualified paths or not."},
    {Checkbox_Main_ModeCompressed,
     "This mode collects specific types of registry-keys and files in categories reducing the "
     "size of the graph."},
    {String_Main_Launcher,
     "The Launcher is the process that was so to say the entry-point of malicious activity."},
    {Button_Main_Launcher, "Select a process as Launcher."},
    {Checkbox_Main_ModeDumb,
     "Dumb-mode disables smart-following-algorithms. Use this if you don't trust a clean "
     "looking situation or if you want to take a global glance at all system events."},
    {Button_Main_RenderingOptions, "Render-Options"},
    {Button_Main_AnimationFramesAllRle, kTimelineModeTip},
    {Button_Main_AnimationFramesAll, kTimelineModeTip},
    {Button_Main_AnimationFramesUnique, kTimelineModeTip},
    {Combo_Main_AnimationFPS, "Select your desired animation speed in frames per second (FPS)"},
    {Button_Main_AnimationLast, "Last frame"},
    {Button_Main_AnimationNext, "Next frame"},
    {Button_Main_AnimationStop, "Stop animation"},
    {Button_Main_AnimationPlay, "Start/Stop animation"},
    {Button_Main_AnimationPrevious, "Previous frame"},
    {Button_Main_AnimationFirst, "First frame"},
    {Button_Main_AnimationShow, "This button toggles between normal- and frame-mode"},
    {Button_Main_ForceAscii, "Keep Unicode or force to Ascii."},
};

struct Shortcut {
  const char* key;
  int menuItem;
};
constexpr Shortcut kShortcuts[] = {
    {"Ctrl+N", MenuItem_New},
    {"Ctrl+O", MenuItem_Open},
    {"Ctrl+S", MenuItem_Save},
    {"Ctrl+F", MenuItem_Find},
    {"Escape", MenuItem_ResetFind},
    {"F5", MenuItem_Refresh},
    {"Return", MenuItem_ViewCurrentFrame},
    {"Right", MenuItem_NextFrame},
    {"Left", MenuItem_PreviousFrame},
    {"Home", MenuItem_FirstFrame},
    {"End", MenuItem_LastFrame},
    {"Space", MenuItem_PlayStop},
    {"F1", MenuItem_Legend},
};

void BuildMenus() {
  using namespace platform;
  CreatePopupMenu(Menu_File);
  MenuItem(MenuItem_New, "New ...\tCtrl+N");
  MenuItem(MenuItem_Open, "Open ...\tCtrl+O");
  MenuItem(MenuItem_Save, "Save\tCtrl+S");
  MenuItem(MenuItem_SaveAs, "Save as ...");
  MenuItem(MenuItem_Export, "Export ...");
  MenuBar();
  MenuItem(MenuItem_Exit, "Exit");

  CreatePopupMenu(Menu_Edit);
  MenuItem(MenuItem_Find, "Find ...\tCtrl+F");
  MenuItem(MenuItem_ResetFind, "Reset find\tEscape");
  MenuBar();
  MenuItem(MenuItem_Options, "Options ...");

  CreatePopupMenu(Menu_View);
  MenuItem(MenuItem_Refresh, "Refresh\tF5");
  OpenSubMenu("Timeline");
  OpenSubMenu("Frames-Mode");
  MenuItem(MenuItem_FramesAll, "All events");
  MenuItem(MenuItem_FramesAllRle, "All events (RLE)");
  MenuItem(MenuItem_FramesUnique, "Unique events");
  CloseSubMenu();
  MenuItem(MenuItem_ViewCurrentFrame, "View current frame\tReturn");
  MenuBar();
  MenuItem(MenuItem_NextFrame, "Next frame\tRight");
  MenuItem(MenuItem_PreviousFrame, "Previous frame\tLeft");
  MenuItem(MenuItem_FirstFrame, "First frame\tHome");
  MenuItem(MenuItem_LastFrame, "Last frame\tEnd");
  MenuBar();
  MenuItem(MenuItem_PlayStop, "Play/Stop animation\tSpace");
  CloseSubMenu();
  OpenSubMenu("Configuration");
  MenuItem(MenuItem_Colors, "Colors ...");
  CloseSubMenu();

  CreatePopupMenu(Menu_Filters);
  OpenSubMenu("Session");
  MenuItem(MenuItem_SessionServers, "Servers ...");
  MenuItem(MenuItem_SessionRegistry, "Registry ...");
  MenuItem(MenuItem_SessionFiles, "Files ...");
  CloseSubMenu();
  OpenSubMenu("Global");
  MenuItem(MenuItem_GlobalServers, "Servers ...");
  MenuItem(MenuItem_GlobalRegistry, "Registry ...");
  MenuItem(MenuItem_GlobalFiles, "Files ...");
  CloseSubMenu();

  CreatePopupMenu(Menu_Plugins);
  MenuItem(MenuItem_PluginsManager, "Plugins-Manager");
  MenuBar();
  for (int n = 1; n <= 9; ++n) MenuItem(MenuItem_PluginsManager + n, std::to_string(n) + ": ");

  CreatePopupMenu(Menu_Help);
  MenuItem(MenuItem_Legend, "Graph legend ...\tF1");
  MenuItem(MenuItem_QuickHelp, "Quick help ...");
  MenuBar();
  MenuItem(MenuItem_UpdateCheck, "Check for update ...");
  MenuBar();
  MenuItem(MenuItem_BugReport, "Bugreport ...");
  MenuBar();
  MenuItem(MenuItem_Donate, "Donate ...");
  MenuItem(MenuItem_Credits, "Credits ...");
  MenuItem(MenuItem_About, "About ...");

  SetMenuItemState(Menu_View, MenuItem_FramesAll, true);
  DisableMenuItem(Menu_View, MenuItem_Colors, true);
}

}  // namespace

void LoadMainPictures() {
  TOLVEK_TRACE("LoadMainPictures");
  WorkbenchState& s = State();
  for (int i = 0; i < kPictureCount; ++i) {
    std::string_view bytes = embedded_files::Find(kPictureFiles[i]);
    s.pictures[i] = platform::CatchImage(platform::kNewNumber, bytes.data(), bytes.size());
  }
}

void OpenWindow_Main() {
  TOLVEK_TRACE("OpenWindow_Main");
  using namespace platform;
  WorkbenchState& s = State();
  std::string_view description = embedded_files::Find("main_window.xml");
  if (!OpenWindowFromLayout(Window_Main, std::string(description), "Window_Main")) {
    // The description is part of the program: failing to read it is a fault of the build.
    tolvek::ReportError("The main window's description is damaged: " + LastLayoutError(), true);
  }

  SetGadgetImage(Image_Main_OrvaneLogo, s.pictures[Picture_Logo]);
  for (const PictureUse& use : kButtonPictures) SetGadgetImage(use.gadget, s.pictures[use.picture]);
  int twin = FindGadgetByName(Window_Main, "#Button_Main_ForceAscii_1");
  if (twin >= 0) SetGadgetImage(twin, s.pictures[Picture_ForceAscii]);

  for (const ToolTip& tip : kToolTips) GadgetToolTip(tip.gadget, tip.text);
  DisableGadget(Combo_Main_AnimationFPS, true);
  DisableGadget(Button_Main_AnimationStop, true);
  DisableGadget(Button_Main_AnimationPlay, true);

  // Return and Escape in a path field belong to the path, not to the timeline or find.
  KeepFieldConfirmKeys(Window_Main, true);
  for (const Shortcut& shortcut : kShortcuts) {
    AddKeyboardShortcut(Window_Main, shortcut.key, shortcut.menuItem);
  }

  for (int fps = 1; fps <= 100; ++fps) {
    AddGadgetItem(Combo_Main_AnimationFPS, -1, std::to_string(fps) + " fps");
  }
  SetGadgetState(Combo_Main_AnimationFPS, 9);

  HideGadget(Button_Main_AnimationFramesUnique, true);
  HideGadget(Button_Main_AnimationFramesAllRle, true);

  RefreshLayout(Window_Main);
  if (twin >= 0) HideGadget(twin, true);

  SetGadgetText(Text_Main_Status, "OK");
  SetGadgetText(Text_Main_FrameNumber, "-");
  SetGadgetText(Text_Main_FrameTimestamp, "-");

  BuildMenus();
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuFile, Menu_File);
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuEdit, Menu_Edit);
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuView, Menu_View);
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuFilters, Menu_Filters);
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuPlugins, Menu_Plugins);
  gui::RegisterFakeMenu(Window_Main, Text_Main_MenuHelp, Menu_Help);
}

}  // namespace workbench
