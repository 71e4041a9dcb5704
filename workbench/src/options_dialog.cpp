// The options dialog: the program-wide settings that hold for every session. Nothing is
// stored before Ok; Cancel and the close box leave the options and the file as they were.
#include <algorithm>
#include <string>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"
#include "workbench/gadgets.h"
#include "workbench/settings.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kEdgeLabelModes[] = {"Default", "None", "Short", "Long", "Extensive"};
// The tools on this system have no file extension to filter by.
constexpr const char* kProgramPattern = "Programs (*)|*";

struct OptionBox {
  int gadget;
  int y;
  const char* text;
  int8_t Options::*value;
  const char* key;
};

// In the order they stand in the dialog.
constexpr OptionBox kOptionBoxes[] = {
    {Checkbox_Options_HideUnvisitedGraphparts, 120, "Hide unvisited graph parts during animation.",
     &Options::hideUnvisitedGraphparts, kKeyHideUnvisitedGraphparts},
    {Checkbox_Options_BackToSearchAfterDetails, 150,
     "Go back to last search after browsing details.", &Options::backToSearchAfterDetails,
     kKeyBackToSearchAfterDetails},
    {Checkbox_Options_SmartHighlight, 180,
     "Smart-Highlight edges for 'is based on' and 'has thread' in frames.",
     &Options::smartHighlight, kKeySmartHighlight},
    {Checkbox_Options_AutoUpdateCheck, 210, "Automatically check for updates on each start.",
     &Options::autoUpdateCheck, kKeyAutoUpdateCheck},
    {Checkbox_Options_UpdateCheckBetas, 240, "Participate in beta tests.",
     &Options::updateCheckBetas, kKeyUpdateCheckBetas},
    {Checkbox_Options_ShowOriginalTimestamps, 270, "Show original timestamps for frames.",
     &Options::showOriginalTimestamps, kKeyShowOriginalTimestamps},
    {Checkbox_Options_ShowHintsForSeconds, 300, "Show hints for seconds and 5 seconds in timeline.",
     &Options::showHintsForSeconds, kKeyShowHintsForSeconds},
    {Checkbox_Options_HorizontallyIsolatedEdgeLabels, 330,
     "Horizontally isolated edge-labels (old mode)", &Options::horizontallyIsolatedEdgeLabels,
     kKeyHorizontallyIsolatedEdgeLabels},
    {Checkbox_Options_Hovereffects, 360, "Hovereffects", &Options::hovereffects, kKeyHovereffects},
};

const OptionBox& Box(int gadget) {
  for (const OptionBox& box : kOptionBoxes) {
    if (box.gadget == gadget) return box;
  }
  return kOptionBoxes[0];
}

void OpenWindow_Options() {
  TOLVEK_TRACE("OpenWindow_Options");
  using namespace platform;
  OpenWindow(
      Window_Options, 0, 0, 500, 570, "Options",
      kWindowCloseBox | kWindowTitleBar | kWindowTool | kWindowParentCentered | kWindowInvisible,
      Window_Main);
  TextGadget(Text_Options_WindumpTcpdumpPath, 10, 10, 480, 20, "Path to windump/tcpdump:");
  StringGadget(String_Options_WindumpTcpdumpPath, 10, 30, 460, 22, "");
  ButtonGadget(Button_Options_WindumpTcpdumpPath, 470, 30, 20, 22, "...");
  TextGadget(Text_Options_DotPath, 10, 65, 480, 20, "Path to dot (Graphviz):");
  StringGadget(String_Options_DotPath, 10, 85, 460, 22, "");
  ButtonGadget(Button_Options_DotPath, 470, 85, 20, 22, "...");
  for (const OptionBox& box : kOptionBoxes) {
    CheckBoxGadget(box.gadget, 10, box.y, 480, 30, box.text);
  }
  SetGadgetState(Checkbox_Options_UpdateCheckBetas, 1);
  SetGadgetState(Checkbox_Options_ShowHintsForSeconds, 1);
  SetGadgetState(Checkbox_Options_Hovereffects, 1);
  TextGadget(Text_Options_EdgeLabelMode, 10, 405, 480, 20, "Edge label mode:");
  ComboBoxGadget(Combo_Options_EdgeLabelMode, 10, 425, 480, 25);
  TextGadget(Text_Options_SmartzoomTargetFontsize, 10, 470, 425, 20,
             "Target fontsize for smart zoom (Refresh!):");
  SpinGadget(Spin_Options_SmartzoomTargetFontsize, 440, 465, 50, 25, 1, 99);
  ButtonGadget(Button_Options_Cancel, 340, 530, 70, 25, "Cancel");
  ButtonGadget(Button_Options_Ok, 420, 530, 70, 25, "Ok");
}

void CloseOptionsDialog() {
  platform::DisableWindow(Window_Main, false);
  platform::SetActiveWindow(Window_Main);
  platform::CloseWindow(Window_Options);
}

// Only what the analyst changed here is written, into the file as it is now: another
// workbench on the same settings may have changed the other options meanwhile.
void ApplyOptions() {
  TOLVEK_TRACE("ApplyOptions");
  Options& o = State().options;
  auto takeText = [](std::string& option, const char* key, const std::string& value) {
    if (value == option) return;
    option = value;
    tolvek::WritePreferenceString(key, value);
  };
  auto takeNumber = [](int8_t& option, const char* key, int8_t value) {
    if (value == option) return;
    option = value;
    tolvek::WritePreferenceString(key, std::to_string(value));
  };
  auto takeBox = [&](int gadget) {
    const OptionBox& box = Box(gadget);
    takeNumber(o.*box.value, box.key, platform::GetGadgetState(gadget) ? 1 : 0);
  };
  WriteSettingsKeys([&] {
    takeText(o.windumpExecutable, kKeyWindumpExecutable,
             platform::GetGadgetText(String_Options_WindumpTcpdumpPath));
    takeText(o.dotExecutable, kKeyDotExecutable, platform::GetGadgetText(String_Options_DotPath));
    takeBox(Checkbox_Options_HideUnvisitedGraphparts);
    takeBox(Checkbox_Options_BackToSearchAfterDetails);
    takeBox(Checkbox_Options_SmartHighlight);
    takeBox(Checkbox_Options_AutoUpdateCheck);
    takeBox(Checkbox_Options_UpdateCheckBetas);
    takeBox(Checkbox_Options_ShowOriginalTimestamps);
    int mode = static_cast<int>(platform::GetGadgetState(Combo_Options_EdgeLabelMode));
    if (mode >= 0 && mode < 5) takeText(o.edgeLabelMode, kKeyEdgeLabelMode, kEdgeLabelModes[mode]);
    takeBox(Checkbox_Options_HorizontallyIsolatedEdgeLabels);
    takeBox(Checkbox_Options_Hovereffects);
    int64_t size = platform::GetGadgetState(Spin_Options_SmartzoomTargetFontsize);
    takeNumber(o.smartzoomTargetFontsize, kKeySmartzoomTargetFontsize,
               static_cast<int8_t>(std::clamp<int64_t>(size, 1, 99)));
    takeBox(Checkbox_Options_ShowHintsForSeconds);
  });
  CloseOptionsDialog();
  RedrawGraph(true);
}

}  // namespace

void OpenOptionsDialog() {
  TOLVEK_TRACE("OpenOptionsDialog");
  using namespace platform;
  if (IsWindow(Window_Options)) {
    SetActiveWindow(Window_Options);
    return;
  }
  const Options& o = State().options;
  OpenWindow_Options();
  // An empty path offers the program PATH finds; Ok takes it like a typed one.
  SetGadgetText(String_Options_WindumpTcpdumpPath, OfferedToolPath(o.windumpExecutable, "tcpdump"));
  SetGadgetText(String_Options_DotPath, OfferedToolPath(o.dotExecutable, "dot"));
  for (const OptionBox& box : kOptionBoxes) SetGadgetState(box.gadget, o.*box.value == 1);
  for (int i = 0; i < 5; ++i) {
    AddGadgetItem(Combo_Options_EdgeLabelMode, -1, kEdgeLabelModes[i]);
    if (o.edgeLabelMode == kEdgeLabelModes[i]) SetGadgetState(Combo_Options_EdgeLabelMode, i);
  }
  SetGadgetState(Spin_Options_SmartzoomTargetFontsize, o.smartzoomTargetFontsize);
  HideWindow(Window_Options, false);
  DisableWindow(Window_Main, true);
}

void HandleOptionsGadget(int gadget) {
  switch (gadget) {
    case Button_Options_WindumpTcpdumpPath:
      PickFileForField(String_Options_WindumpTcpdumpPath, "Select Windump executable ...",
                       kProgramPattern);
      break;
    case Button_Options_DotPath:
      PickFileForField(String_Options_DotPath, "Select Dot executable ...", kProgramPattern);
      break;
    case Button_Options_Ok:
      ApplyOptions();
      break;
    case Button_Options_Cancel:
      CloseOptionsDialog();
      break;
    default:
      break;
  }
}

}  // namespace workbench
