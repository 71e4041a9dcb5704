// A plugin as the workbench knows it: what its description says, what the checks found and,
// for a library plugin, its loaded entry points.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plugins {

using PluginEntry = uint8_t (*)();

struct PluginRecord {
  std::string Name;
  std::string Author;
  std::string Description;
  std::string Version;
  std::string Type;
  std::string Architecture;
  std::string LvpFile;
  std::string File;
  uint8_t Priority = 9;
  std::vector<std::string> Events;
  uint8_t RunHidden = 0;
  uint8_t RunExclusively = 0;
  uint8_t CanBeVerified = 0;
  uint8_t CanOverrideOtherPlugins = 0;
  uint8_t CanOverrideLumiVex = 0;
  uint8_t IsDeactivated = 0;
  std::string DeactivationMessage;
  void* LibraryHandle = nullptr;
  PluginEntry CallEntry = nullptr;
  PluginEntry VerifyEntry = nullptr;
};

// Marks the plugin deactivated and adds a line to its message.
void Deactivate(PluginRecord& record, std::string_view line);

// The eighteen actions plugins may watch; each has a "Before" and an "After" event.
inline constexpr std::array<const char*, 18> kPluginActions = {
    "LeftClickOnGraph",
    "LeftDblClickOnGraph",
    "MiddleClickOnGraph",
    "MiddleDblClickOnGraph",
    "RightClickOnGraph",
    "RightDblClickOnGraph",
    "Refresh",
    "ProcmonButtonClick",
    "WindumpButtonClick",
    "LauncherButtonClick",
    "SwitchToFrameMode",
    "SwitchToNormalMode",
    "TimelineFirstFrame",
    "TimelinePreviousFrame",
    "TimelineNextFrame",
    "TimelineLastFrame",
    "TimelinePlayAnimation",
    "TimelineStopAnimation",
};
bool IsPluginEventName(std::string_view name);

bool IsProgramArchitecture(std::string_view architecture);
bool IsLibraryArchitecture(std::string_view architecture);

}  // namespace plugins
