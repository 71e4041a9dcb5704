#include "workbench/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "gui/requester_geometry.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/preferences.h"
#include "tolvek/process.h"
#include "workbench/embedded_files.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"

namespace workbench {
namespace {

constexpr const char* kTitle = "LumiVEX";
// A converter that has not ended by then counts as missing: the start-up must not hang on it.
constexpr int64_t kConverterTestMs = 5000;

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ParseInteger(std::string_view text, int64_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ConverterStarts() {
  tolvek::Program program;
  tolvek::ProgramOptions options;
  options.redirect = false;
  if (!tolvek::StartProgram(ConverterPath(), {}, "", program, options)) return false;
  if (!tolvek::WaitProgram(program, kConverterTestMs)) {
    tolvek::KillProgram(program);
    tolvek::CloseProgram(program);
    return false;
  }
  tolvek::CloseProgram(program);
  return true;
}

// Creates path empty unless something is there already.
void CreateEmptyFileIfMissing(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) close(fd);
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::optional<std::string> bytes = tolvek::ReadFileBytes(from);
  return bytes && tolvek::WriteFileWhole(to, *bytes);
}

bool AskYesNo(const char* question) {
  return platform::MessageRequester(kTitle, question, platform::kMessageYesNo) ==
         platform::kResultYes;
}

// Places the main window as it was left. A minimised window comes back normal; a maximised
// one keeps its layout size until it is restored (the restore event applies the stored size).
void RestoreWindowGeometry() {
  WorkbenchState& s = State();
  int64_t stored = ReadSettingsInteger(kKeyLastWinState, kStoredNormal);
  if (stored == kStoredMaximized) {
    platform::SetWindowState(Window_Main, platform::kWindowMaximized);
    return;
  }
  // The corner the end sequence stored: the inner area's, which the window system places
  // exactly, framed yet or not.
  gui::RequesterGeometry g;
  g.x = static_cast<int>(
      ReadSettingsInteger(kKeyLastWinX + s.geometrySuffix, platform::WindowInnerX(Window_Main)));
  g.y = static_cast<int>(
      ReadSettingsInteger(kKeyLastWinY + s.geometrySuffix, platform::WindowInnerY(Window_Main)));
  g.width = static_cast<int>(
      ReadSettingsInteger(kKeyLastWinWidth + s.geometrySuffix, platform::WindowWidth(Window_Main)));
  g.height = static_cast<int>(ReadSettingsInteger(kKeyLastWinHeight + s.geometrySuffix,
                                                  platform::WindowHeight(Window_Main)));
  g = gui::detail::ClampGeometry(g, platform::Monitors(), 800, 600);
  platform::ResizeWindowInner(Window_Main, g.x, g.y, g.width, g.height);
}

}  // namespace

std::string IgnoreListPath(const std::string& kind) {
  return State().settingsFolder + "evtweave_" + kind + "ignores.dat";
}

std::string GlobalFilterFilePath(const std::string& kind) {
  return State().settingsFolder + "evtweave_" + kind + "ignores.global";
}

std::string_view DefaultIgnoreList(const std::string& kind) {
  return embedded_files::Find("evtweave_" + kind + "ignores.dat");
}

std::string GeometrySuffix() {
  std::vector<platform::Monitor> monitors = platform::Monitors();
  if (monitors.empty()) return ".0x0";
  return "." + std::to_string(monitors.front().width) + "x" +
         std::to_string(monitors.front().height);
}

int8_t OnOffOption(std::string_view stored, int8_t fallback) {
  int64_t v;
  if (ParseInteger(stored, v) && (v == 0 || v == 1)) return static_cast<int8_t>(v);
  return fallback;
}

int8_t TriStateOption(std::string_view stored) {
  int64_t v;
  if (ParseInteger(stored, v) && v >= -1 && v <= 1) return static_cast<int8_t>(v);
  return -1;
}

int8_t FontSizeOption(std::string_view stored) {
  int64_t v;
  if (ParseInteger(stored, v) && v >= 1 && v <= 99) return static_cast<int8_t>(v);
  return 12;
}

std::string EdgeLabelModeOption(std::string_view stored) {
  for (const char* mode : {"Default", "None", "Short", "Long", "Extensive"}) {
    if (stored == mode) return mode;
  }
  return "Default";
}

std::string PluginsPathOption(std::string_view stored, std::string_view startFolder) {
  // As a relative path on a command line means: plugins are started in their folder, and a
  // path relative to anywhere else would name other files there than were checked.
  std::string path(stored);
  if (path.empty() || path.front() != '/') {
    std::string base(startFolder);
    if (base.empty() || base.back() != '/') base += '/';
    path = base + path;
  }
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path + "/";
}

std::string StartFolder() {
  char here[PATH_MAX];
  return getcwd(here, sizeof here) ? here : "/";
}

std::string ConverterPath() {
  std::string beside = State().programFolder + "evtweave";
  if (!State().programFolder.empty() && access(beside.c_str(), X_OK) == 0) return beside;
  return "evtweave";
}

std::string ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view folders = path ? path : "";
  while (!name.empty()) {
    const size_t colon = folders.find(':');
    std::string folder(folders.substr(0, colon));
    // An empty entry is the current folder, which a tool path must never depend on.
    if (!folder.empty()) {
      std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
      struct stat st;
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  return "";
}

std::string OfferedToolPath(const std::string& stored, const std::string& name) {
  return stored.empty() ? ProgramOnPath(name) : stored;
}

std::string MissingToolNames() {
  const Options& o = State().options;
  std::string names;
  for (const auto& [stored, name] :
       {std::pair{&o.dotExecutable, "dot"}, std::pair{&o.windumpExecutable, "tcpdump"}}) {
    if (!OfferedToolPath(*stored, name).empty()) continue;
    names += (names.empty() ? "" : ", ") + std::string(name);
  }
  return names;
}

int64_t ReadSettingsInteger(const std::string& key, int64_t fallback) {
  int64_t v;
  std::string stored = tolvek::ReadPreferenceString(key, "");
  return ParseInteger(stored, v) ? v : fallback;
}

bool WriteSettingsKeys(const std::function<void()>& writeKeys) {
  TOLVEK_TRACE("WriteSettingsKeys");
  WorkbenchState& s = State();
  if (!tolvek::OpenPreferences(s.settingsFile) && !tolvek::CreatePreferences(s.settingsFile)) {
    ReportSettingsWriteFailure();
    return false;
  }
  tolvek::PreferenceGroup("");
  writeKeys();
  if (!tolvek::ClosePreferences()) {
    ReportSettingsWriteFailure();
    return false;
  }
  return true;
}

void ReportSettingsWriteFailure() {
  WorkbenchState& s = State();
  if (s.settingsWriteReported) return;
  s.settingsWriteReported = true;
  if (platform::IsGadget(Text_Main_Status)) {
    platform::SetGadgetText(Text_Main_Status, "Error: the settings could not be saved!");
  }
}

void InitializeSettings() {
  TOLVEK_TRACE("InitializeSettings");
  WorkbenchState& s = State();

  if (!ConverterStarts()) {
    platform::MessageRequester(kTitle,
                               "Error: Component \"evtweave\" is missing!\nPlease follow our "
                               "installation guide in the readme.");
    tolvek::EndProgram(0);
  }

  // The first run has no folder yet. An existing default session is never emptied.
  int fd = open(s.settingsFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    mkdir(s.settingsFolder.c_str(), 0700);
    CreateEmptyFileIfMissing(s.settingsFolder + "default.lv");
    fd = open(s.settingsFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  }
  if (fd >= 0) close(fd);

  if (!tolvek::OpenPreferences(s.settingsFile)) tolvek::CreatePreferences(s.settingsFile);
  tolvek::PreferenceGroup("");

  if (ReadSettingsInteger(kKeyLastRunBuild, 0) == 0) {
    for (const char* kind : kIgnoreListKinds) {
      std::string path = IgnoreListPath(kind);
      if (!FileExists(path)) tolvek::WriteFileWhole(path, DefaultIgnoreList(kind));
    }
  }
  for (const char* kind : kIgnoreListKinds) {
    std::string global = GlobalFilterFilePath(kind);
    if (!FileExists(global)) CopyFile(IgnoreListPath(kind), global);
  }

  if (s.sessionFile.empty()) {
    s.sessionFile = tolvek::ReadPreferenceString(kKeyLastSession, s.settingsFolder + "default.lv");
  }

  RestoreWindowGeometry();

  Options& o = s.options;
  auto onOff = [](const char* key, int8_t fallback) {
    return OnOffOption(tolvek::ReadPreferenceString(key, ""), fallback);
  };
  o.hideUnvisitedGraphparts = onOff(kKeyHideUnvisitedGraphparts, 0);
  o.backToSearchAfterDetails = onOff(kKeyBackToSearchAfterDetails, 0);
  o.smartHighlight = onOff(kKeySmartHighlight, 0);
  o.showHintsForSeconds = onOff(kKeyShowHintsForSeconds, 1);
  o.showOriginalTimestamps = onOff(kKeyShowOriginalTimestamps, 0);
  o.edgeLabelMode = EdgeLabelModeOption(tolvek::ReadPreferenceString(kKeyEdgeLabelMode, ""));
  o.horizontallyIsolatedEdgeLabels = onOff(kKeyHorizontallyIsolatedEdgeLabels, 0);
  o.hovereffects = onOff(kKeyHovereffects, 1);
  o.smartzoomTargetFontsize =
      FontSizeOption(tolvek::ReadPreferenceString(kKeySmartzoomTargetFontsize, ""));
  o.pluginsPath = PluginsPathOption(
      tolvek::ReadPreferenceString(kKeyPluginsPath, s.programFolder + "plugins"), StartFolder());

  o.autoUpdateCheck = TriStateOption(tolvek::ReadPreferenceString(kKeyAutoUpdateCheck, ""));
  if (o.autoUpdateCheck == -1) {
    o.autoUpdateCheck = AskYesNo("Would you like LumiVEX to check for updates on each start?");
    tolvek::WritePreferenceString(kKeyAutoUpdateCheck, std::to_string(o.autoUpdateCheck));
  }
  o.updateCheckBetas = TriStateOption(tolvek::ReadPreferenceString(kKeyUpdateCheckBetas, ""));
  if (o.updateCheckBetas == -1) {
    o.updateCheckBetas = AskYesNo("Would you like to participate in beta tests?");
    tolvek::WritePreferenceString(kKeyUpdateCheckBetas, std::to_string(o.updateCheckBetas));
  }

  o.windumpExecutable = tolvek::ReadPreferenceString(kKeyWindumpExecutable, "");
  o.dotExecutable = tolvek::ReadPreferenceString(kKeyDotExecutable, "");
  s.toolsMissing = o.windumpExecutable.empty() || o.dotExecutable.empty();

  tolvek::WritePreferenceString(kKeyLastRunBuild, std::to_string(kBuildNumber));
  if (!tolvek::ClosePreferences()) ReportSettingsWriteFailure();

  if (o.autoUpdateCheck != 0) CheckForUpdate(true);
}

}  // namespace workbench
