// The current session: its file, the window title that names it, and the File menu's New,
// Open, Save and Save as.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "graphview/graph_model.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_write.h"
#include "workbench/crash_follow_up.h"
#include "workbench/filter_rules.h"
#include "workbench/gadgets.h"
#include "workbench/preference_text.h"
#include "workbench/session_file.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kTitle = "LumiVEX";
constexpr const char* kSessionPattern = "LumiVEX-Session (*.lv)|*.lv";

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The default session is never written without a name of its own.
bool IsUnnamed(const std::string& path) {
  return path.find("/default.lv") != std::string::npos;
}

SessionValues GadgetValues() {
  SessionValues values;
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    const SessionKey& key = kSessionKeys[k];
    if (key.text) {
      values[k] = platform::GetGadgetText(key.gadget);
    } else if (platform::IsGadget(key.gadget)) {
      values[k] = platform::GetGadgetState(key.gadget) ? "1" : "0";
    } else {
      values[k] = key.loadDefault ? "1" : "0";
    }
  }
  return values;
}

}  // namespace

std::optional<std::string> SessionTextWithInputsOnScreen(std::string_view text) {
  return WriteSessionKeys(text, GadgetValues());
}

namespace {

void SetGadgetValues(const SessionValues& values) {
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    const SessionKey& key = kSessionKeys[k];
    if (key.text) {
      platform::SetGadgetText(key.gadget, values[k]);
    } else {
      platform::SetGadgetState(key.gadget, values[k] == "1" ? 1 : 0);
    }
  }
}

void NameSession(const std::string& path) {
  State().sessionFile = path;
  UpdateCrashFollowUp();
  platform::SetWindowTitle(Window_Main, "LumiVEX - " + path);
}

// The file's text with the current session's filter rules: they belong to the case, so a
// session saved under another name takes them along. nullopt when the rules cannot be read
// (errno tells why).
std::optional<std::string> WithCurrentRules(const std::string& path, std::string text) {
  if (path == State().sessionFile) return text;
  std::optional<std::string> current = preference_text::ReadTextFile(State().sessionFile);
  if (!current) return std::nullopt;
  std::vector<std::string> groups;
  for (const char* word : {"file", "registrykey", "server"}) {
    groups.push_back(SessionFilterGroup(word));
  }
  return WithSessionGroups(text, *current, groups);
}

// Writes values as the session at path (normalised), with the current session's filter rules
// when asked; on success it becomes the current one. A failure is reported with the file and
// its cause, and leaves the current session, its title and the file as they were.
bool WriteSession(const std::string& requested, const SessionValues& values, bool takeRules) {
  TOLVEK_TRACE("WriteSession");
  std::string path = NormaliseSessionPath(requested);
  std::string failed;
  std::optional<std::string> old = preference_text::ReadTextFile(path);
  std::optional<std::string> text;
  if (!old) {
    failed = std::strerror(errno);
  } else if (takeRules && !(old = WithCurrentRules(path, *old))) {
    failed = "the filter rules of \"" + State().sessionFile +
             "\" could not be read: " + std::strerror(errno);
  } else if (!(text = WriteSessionKeys(*old, values))) {
    failed = "an input holds a line break";
  } else if (!tolvek::WriteFileWhole(path, *text)) {
    failed = std::strerror(errno);
  }
  if (!failed.empty()) {
    platform::MessageRequester(
        kTitle, "Error: The session could not be saved to \"" + path + "\" (" + failed + ")!");
    return false;
  }
  NameSession(path);
  return true;
}

// A session file chosen in a save dialog; "" when the dialog is cancelled or the analyst
// will not have an existing file rewritten. The dialog itself asks about the file it
// answers; only a file that the added extension names is asked about here.
std::string AskSessionTarget(const std::string& title) {
  std::string answer = platform::SaveFileRequester(title, State().sessionFile, kSessionPattern, 0);
  if (answer.empty()) return "";
  std::string path = NormaliseSessionPath(answer);
  if (path != answer && Exists(path) &&
      platform::MessageRequester(
          kTitle, "The file \"" + path + "\" already exists.\nDo you want to overwrite it?",
          platform::kMessageYesNo) != platform::kResultYes) {
    return "";
  }
  return path;
}

// Saves the current session, asking for a name when it has none; false when nothing was
// saved.
bool SaveUnderItsName() {
  std::string path = State().sessionFile;
  if (IsUnnamed(path)) {
    path = AskSessionTarget("Save session to ...");
    if (path.empty()) return false;
  }
  return SaveSession(path);
}

}  // namespace

bool SaveSession(const std::string& path) {
  return WriteSession(path, GadgetValues(), true);
}

void LoadSession(const std::string& requested, bool fallBackToDefault) {
  TOLVEK_TRACE("LoadSession");
  WorkbenchState& s = State();
  std::string path = NormaliseSessionPath(requested);
  if (!IsRegularFile(path)) {
    platform::MessageRequester(kTitle, "Error: Session \"" + path + "\" could not be found!");
    if (!fallBackToDefault) return;
    path = s.settingsFolder + "default.lv";
  }
  // A file that cannot be read loads as one without keys.
  std::string text = preference_text::ReadTextFile(path).value_or("");
  SetGadgetValues(SessionValuesOnLoad(ReadSessionKeys(text)));
  NameSession(path);
  graphview::ClearGraph(s.graph);
  RedrawGraph(true);
  UpdateRenderOptionGadgets();
}

bool NewSession(const std::string& path) {
  SessionValues values = GadgetValues();
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    const SessionKey& key = kSessionKeys[k];
    if (key.text) {
      values[k].clear();
    } else if (key.newValue >= 0) {
      values[k] = key.newValue ? "1" : "0";
    }
  }
  // The inputs on screen are replaced only once the new session is on the disk.
  if (!WriteSession(path, values, false)) return false;
  SetGadgetValues(values);
  UpdateRenderOptionGadgets();
  return true;
}

bool IsSessionSavePending() {
  std::string text = preference_text::ReadTextFile(State().sessionFile).value_or("");
  // A key the file lacks counts as the value it loads as: an untouched session is unchanged.
  return SessionValuesOnLoad(ReadSessionKeys(text)) != GadgetValues();
}

bool AskToSavePendingSession() {
  if (!IsSessionSavePending()) return true;
  int answer = platform::MessageRequester(kTitle, "Do you want to save the current session?",
                                          platform::kMessageYesNoCancel);
  if (answer == platform::kResultCancel) return false;
  if (answer != platform::kResultYes) return true;
  return SaveUnderItsName();
}

void NewSession() {
  if (!AskToSavePendingSession()) return;
  std::string path = AskSessionTarget("Create new session ...");
  if (!path.empty()) NewSession(path);
}

void OpenSession() {
  if (!AskToSavePendingSession()) return;
  std::string path =
      platform::OpenFileRequester("Open session from ...", State().sessionFile, kSessionPattern, 0);
  if (path.empty()) return;
  State().interaction.savedZoom = 0;
  LoadSession(path, false);
}

void SaveCurrentSession() {
  SaveUnderItsName();
}

void SaveSessionAs() {
  std::string path = AskSessionTarget("Save session to ...");
  if (!path.empty()) SaveSession(path);
}

}  // namespace workbench
