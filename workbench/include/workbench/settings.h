// The settings folder and the settings file: where they are, their keys with defaults and
// valid ranges, and the start-up step that creates them on the first run and reads them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "workbench/workbench_state.h"

namespace workbench {

// Settings keys.
inline constexpr const char* kKeyLastRunBuild = "lastrunbuild";
inline constexpr const char* kKeyLastSession = "lastsession";
inline constexpr const char* kKeyLastWinState = "lastwinstate";
inline constexpr const char* kKeyLastWinX = "lastwinx";
inline constexpr const char* kKeyLastWinY = "lastwiny";
inline constexpr const char* kKeyLastWinWidth = "lastwinwidth";
inline constexpr const char* kKeyLastWinHeight = "lastwinheight";
inline constexpr const char* kKeyHideUnvisitedGraphparts = "hide_unvisited_graphparts";
inline constexpr const char* kKeyBackToSearchAfterDetails = "back_to_search_after_details";
inline constexpr const char* kKeySmartHighlight = "smart_highlight";
inline constexpr const char* kKeyShowHintsForSeconds = "show_hints_for_seconds";
inline constexpr const char* kKeyShowOriginalTimestamps = "show_original_timestamps";
inline constexpr const char* kKeyEdgeLabelMode = "edge_label_mode";
inline constexpr const char* kKeyHorizontallyIsolatedEdgeLabels =
    "horizontally_isolated_edgelabels";
inline constexpr const char* kKeyHovereffects = "hovereffects";
inline constexpr const char* kKeySmartzoomTargetFontsize = "smartzoom_target_fontsize";
inline constexpr const char* kKeyPluginsPath = "pluginspath";
inline constexpr const char* kKeyAutoUpdateCheck = "auto_update_check";
inline constexpr const char* kKeyUpdateCheckBetas = "update_check_betas";
inline constexpr const char* kKeyWindumpExecutable = "windumpexecutable";
inline constexpr const char* kKeyDotExecutable = "dotexecutable";

// Stored window states.
inline constexpr int kStoredNormal = 0;
inline constexpr int kStoredMaximized = 16777216;
inline constexpr int kStoredMinimized = 536870912;

// The three ignore lists handed to the converter, in the order file, registry key, server.
inline constexpr const char* kIgnoreListKinds[3] = {"file", "registrykey", "server"};
std::string IgnoreListPath(const std::string& kind);        // <settings>/evtweave_<kind>ignores.dat
std::string GlobalFilterFilePath(const std::string& kind);  // ... .global
// The default list of a kind as kept in the program ("" for an unknown kind).
std::string_view DefaultIgnoreList(const std::string& kind);

// "." + width + "x" + height of the first monitor.
std::string GeometrySuffix();

// Option values as stored; anything out of range takes the default.
int8_t OnOffOption(std::string_view stored, int8_t fallback);
int8_t TriStateOption(std::string_view stored);  // -1, 0, 1; else -1 (ask again)
int8_t FontSizeOption(std::string_view stored);  // 1-99, else 12
std::string EdgeLabelModeOption(std::string_view stored);
// Absolute, a relative path taken from startFolder; trailing slashes removed, exactly one
// appended.
std::string PluginsPathOption(std::string_view stored, std::string_view startFolder);
// The folder the workbench was started in (it never changes folder).
std::string StartFolder();

// The path of the converter the workbench runs: the one beside the program, else the bare
// name (looked up in PATH).
std::string ConverterPath();

// The program the system's search finds for a bare name: the first executable regular file
// of that name in the folders of PATH; "" when there is none.
std::string ProgramOnPath(const std::string& name);
// The path an options field offers for a tool: the stored one, else the one PATH finds.
std::string OfferedToolPath(const std::string& stored, const std::string& name);
// The tools without a stored path that PATH does not find either, joined by ", ".
std::string MissingToolNames();

// The start-up's settings step: converter presence test (may end the program), folder and
// file creation on the first run, window geometry, options, the update questions.
void InitializeSettings();

// Writes the option keys (the options dialog's OK) / the keys of the program end. A failed
// write is reported once in the status line; false then.
bool WriteSettingsKeys(const std::function<void()>& writeKeys);

// Reports, once per run, that the settings file could not be written.
void ReportSettingsWriteFailure();

// Reads an integer key of the settings file; fallback when missing or not a number.
int64_t ReadSettingsInteger(const std::string& key, int64_t fallback);

}  // namespace workbench
