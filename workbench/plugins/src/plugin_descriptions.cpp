#include "plugins/plugin_descriptions.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "plugins/plugin_runner.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"
#include "tolvek/text_utils.h"
#include "tolvek/trusted_files.h"

namespace plugins {
namespace {

constexpr const char* kNone = "***none***";
constexpr int64_t kMaxDescriptionBytes = 1 << 20;

bool EndsWithLvp(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".lvp";
}

// An integer key kept in one byte: its low eight bits. A value that is no number reads as 0.
uint8_t ByteKey(const char* key, int64_t fallback) {
  const std::string text = tolvek::ReadPreferenceString(key, "\x01");
  if (text == "\x01") return static_cast<uint8_t>(fallback);
  const std::string_view value = tolvek::TrimBlanks(text);
  const int64_t number = std::strtoll(std::string(value).c_str(), nullptr, 10);
  return static_cast<uint8_t>(number & 0xFF);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CheckFileReference(PluginRecord& record) {
  const std::string last = record.File.substr(record.File.rfind('/') + 1);
  if (tolvek::ReplaceAll(last, kNone, "").empty()) {
    Deactivate(record, "Missing file reference!");
  } else if (!IsRegularFile(record.File)) {
    Deactivate(record, "Referenced file \"" + record.File + "\" is missing!");
  }
}

void CheckKinds(PluginRecord& record) {
  const std::string types = "*ContextMenuItemForGraph*EventHandler*MainMenuItem*";
  if (types.find("*" + record.Type + "*") == std::string::npos) {
    Deactivate(record, "Unknown type \"" + record.Type + "\"!");
  }
  const std::string architectures =
      "*Linux32BitExe*Linux32BitSo*Linux64BitExe*Linux64BitSo*LinuxShellScript*Windows32BitDll*"
      "Windows32BitExe*Windows64BitDll*Windows64BitExe*WindowsBatchScript*";
  if (architectures.find("*" + record.Architecture + "*") == std::string::npos) {
    Deactivate(record, "Unknown architecture \"" + record.Architecture + "\"!");
  }
  // This workbench runs on Linux: the Windows kinds cannot run here.
  if (record.Architecture.find("Windows") != std::string::npos) {
    Deactivate(record, "Mismatching operating system!");
  }
}

// A plugin runs with the analyst's rights: what describes it and what it runs must be beyond
// the reach of other users, and so must every folder on the way to them, from the root down.
void CheckOwners(const std::string& folder, const std::string& description, PluginRecord& record) {
  if (!description.empty()) Deactivate(record, UnsafeLine(description));
  if (!IsRegularFile(record.File)) return;  // already reported missing
  const std::string file = tolvek::FirstUnsafePath(folder, record.File);
  if (!file.empty() && file != description) Deactivate(record, UnsafeLine(file));
}

// The description at path, looked up once: its descriptor as checked when the checks pass,
// else as it is (to be listed with the reason); -1 when there is nothing to read.
int OpenDescription(const std::string& folder, const std::string& path, std::string& unsafe) {
  int fd = tolvek::OpenCheckedPath(folder, path, tolvek::PathKind::File, unsafe);
  if (fd < 0) fd = open(path.c_str(), O_PATH | O_CLOEXEC);
  return fd;
}

}  // namespace

std::string UnsafeLine(const std::string& path) {
  return "Unsafe permissions: \"" + path + "\" can be changed by other users!";
}

std::vector<std::string> RegisteredEvents(const std::string& event, const std::string& events,
                                          std::string& problems) {
  std::vector<std::string> registered;
  // One name in each key is two names, not one name run together; a comma already at the
  // seam is not doubled, which would end the list there.
  const std::string_view first = tolvek::TrimBlanks(event, " ");
  const std::string_view second = tolvek::TrimBlanks(events, " ");
  const bool seam =
      !first.empty() && !second.empty() && first.back() != ',' && second.front() != ',';
  const std::string joined = std::string(first) + (seam ? "," : "") + std::string(second);
  if (joined.empty()) {
    problems += "Missing event(s) to register for!\n";
    return registered;
  }
  const std::string names = tolvek::ReplaceAll(joined, " ", "");
  for (size_t start = 0;;) {
    const size_t comma = names.find(',', start);
    std::string name = names.substr(start, comma == std::string::npos ? comma : comma - start);
    if (name.empty()) break;
    registered.push_back(std::move(name));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (const std::string& name : registered) {
    if (!IsPluginEventName(name)) problems += "Unknown event \"" + name + "\"!\n";
  }
  return registered;
}

bool ReadPluginDescription(const std::string& folder, const std::string& entryName,
                           PluginRecord& record) {
  TOLVEK_TRACE("ReadPluginDescription");
  record = PluginRecord{};
  const std::string path = folder + entryName;
  // Only a regular file is read (a FIFO would hold the start for good); one too large to be
  // a description is listed rather than read. What is read is what was checked.
  std::string unsafe;
  const int fd = OpenDescription(folder, path, unsafe);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  if (st.st_size > kMaxDescriptionBytes) {
    close(fd);
    for (std::string* text : {&record.Name, &record.Description, &record.Author,
                              &record.Architecture, &record.Type, &record.Version}) {
      *text = kNone;
    }
    record.LvpFile = path;
    record.File = folder + kNone;
    record.IsDeactivated = 1;
    record.DeactivationMessage = "Plugin description is larger than 1 MiB!";
    return true;
  }
  const bool opened = tolvek::OpenPreferences(tolvek::DescriptorPath(fd), kMaxDescriptionBytes);
  close(fd);
  if (!opened) return false;
  tolvek::PreferenceGroup("");
  record.LvpFile = path;
  // Descriptions written on Windows name their files with backslashes.
  record.File = folder + tolvek::ReplaceAll(tolvek::ReadPreferenceString("file", kNone), "\\", "/");
  record.Name = tolvek::ReadPreferenceString("Name", kNone);
  record.Description = tolvek::ReadPreferenceString("Description", kNone);
  record.Author = tolvek::ReadPreferenceString("Author", kNone);
  record.Architecture = tolvek::ReadPreferenceString("Architecture", kNone);
  record.Type = tolvek::ReadPreferenceString("Type", kNone);
  record.Version = tolvek::ReadPreferenceString("Version", kNone);
  record.Priority = ByteKey("Priority", 9);
  record.CanBeVerified = ByteKey("CanBeVerified", 0);
  record.CanOverrideOtherPlugins = ByteKey("CanOverrideOtherPlugins", 0);
  record.CanOverrideLumiVex = ByteKey("CanOverrideLumiVex", 0);
  record.RunHidden = ByteKey("RunHidden", 0);
  record.RunExclusively = ByteKey("RunExclusively", 0);
  const std::string event = tolvek::ReadPreferenceString("Event", "");
  const std::string events = tolvek::ReadPreferenceString("Events", "");
  tolvek::ClosePreferences();

  CheckFileReference(record);
  CheckKinds(record);
  CheckOwners(folder, unsafe, record);
  if (record.Type == "EventHandler") {
    std::string problems;
    record.Events = RegisteredEvents(event, events, problems);
    if (!problems.empty()) {
      record.IsDeactivated = 1;
      record.DeactivationMessage += problems;
    }
  }
  // A library runs its own code as it is loaded: only one that passed every check is.
  if (IsLibraryArchitecture(record.Architecture) && !record.IsDeactivated) {
    LoadPluginLibrary(record, folder);
  }
  while (!record.DeactivationMessage.empty() && record.DeactivationMessage.back() == '\n') {
    record.DeactivationMessage.pop_back();
  }
  while (!record.DeactivationMessage.empty() && record.DeactivationMessage.front() == '\n') {
    record.DeactivationMessage.erase(0, 1);
  }
  return true;
}

std::vector<PluginRecord> LoadPluginList(const std::string& folder) {
  TOLVEK_TRACE("LoadPluginList");
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (EndsWithLvp(entry->d_name)) names.emplace_back(entry->d_name);
    }
    closedir(dir);
  }
  // The listing in name order, so equal priorities keep one order from start to start.
  std::sort(names.begin(), names.end());
  std::vector<PluginRecord> list;
  for (const std::string& name : names) {
    PluginRecord record;
    if (ReadPluginDescription(folder, name, record)) list.push_back(std::move(record));
  }
  std::stable_sort(list.begin(), list.end(), [](const PluginRecord& a, const PluginRecord& b) {
    return a.Priority < b.Priority;
  });
  return list;
}

void Deactivate(PluginRecord& record, std::string_view line) {
  record.IsDeactivated = 1;
  record.DeactivationMessage.append(line).append("\n");
}

bool IsPluginEventName(std::string_view name) {
  for (const char* action : kPluginActions) {
    if (name == std::string("Before") + action || name == std::string("After") + action) {
      return true;
    }
  }
  return false;
}

bool IsProgramArchitecture(std::string_view a) {
  return a == "Windows32BitExe" || a == "Windows64BitExe" || a == "Linux32BitExe" ||
         a == "Linux64BitExe" || a == "WindowsBatchScript" || a == "LinuxShellScript";
}

bool IsLibraryArchitecture(std::string_view a) {
  return a == "Windows32BitDll" || a == "Windows64BitDll" || a == "Linux32BitSo" ||
         a == "Linux64BitSo";
}

}  // namespace plugins
