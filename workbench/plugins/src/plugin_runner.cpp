#include "plugins/plugin_runner.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plugins/plugin_descriptions.h"
#include "tolvek/callstack.h"
#include "tolvek/trusted_files.h"

namespace plugins {

void LoadPluginLibrary(PluginRecord& record, const std::string& folder) {
  TOLVEK_TRACE("LoadPluginLibrary");
  std::string unsafe;
  const int checked = tolvek::OpenCheckedPath(folder, record.File, tolvek::PathKind::File, unsafe);
  if (checked < 0) {
    Deactivate(record, UnsafeLine(unsafe));
    return;
  }
  // The loader knows a library by the name it was loaded under: the descriptor stays open
  // as long as the library stays loaded, so that no other library comes under its name.
  void* handle = dlopen(tolvek::DescriptorPath(checked).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    close(checked);
    Deactivate(record, "Could not load library!");
    return;
  }
  auto call = reinterpret_cast<PluginEntry>(dlsym(handle, "LumiVEXPluginCall"));
  if (!call) {
    Deactivate(record, "Could not find exported function 'LumiVEXPluginCall'!");
    dlclose(handle);
    close(checked);
    return;
  }
  // A loaded library stays loaded until the program ends.
  record.LibraryHandle = handle;
  record.CallEntry = call;
  if (record.CanBeVerified) {
    record.VerifyEntry = reinterpret_cast<PluginEntry>(dlsym(handle, "LumiVEXPluginVerify"));
  }
}

bool StartPluginProgram(const PluginRecord& record, const std::string& folder,
                        const Variables& variables, const std::string& directory,
                        tolvek::Program& program, std::string& unsafe) {
  TOLVEK_TRACE("StartPluginProgram");
  unsafe.clear();
  // A path without a folder would be looked up in PATH; the plugin's file always has one.
  if (record.File.find('/') == std::string::npos) return false;
  // Checked now, not only at start-up: what was sound then may have been changed since.
  const int checked = tolvek::OpenCheckedPath(folder, record.File, tolvek::PathKind::File, unsafe);
  if (checked < 0) {
    // Gone since: it cannot be started, which is no question of trust.
    struct stat st;
    if (lstat(record.File.c_str(), &st) != 0) unsafe.clear();
    return false;
  }
  tolvek::ProgramOptions options;
  options.redirect = false;  // a plugin's own output goes nowhere
  // A plugin that is not waited for runs on its own, past the workbench's end too.
  options.endWithParent = false;
  options.environment = ProgramEnvironment(variables);
  bool started;
  if (record.Architecture == "LinuxShellScript" && access(record.File.c_str(), X_OK) != 0) {
    started = tolvek::StartProgram("/bin/sh", {record.File}, directory, program, options);
  } else {
    options.executableFd = checked;
    started = tolvek::StartProgram(record.File, {}, directory, program, options);
  }
  const int error = errno;
  close(checked);
  errno = error;
  return started;
}

uint8_t ProgramAnswer(tolvek::Program& program) {
  const int code = tolvek::CloseProgram(program);
  return code < 0 ? 0 : static_cast<uint8_t>(code & 0xFF);
}

uint8_t CallPluginLibrary(PluginEntry entry, const Variables& variables) {
  TOLVEK_TRACE("CallPluginLibrary");
  SetProcessVariables(variables);
  const uint8_t answer = entry ? entry() : 0;
  RemovePluginVariables();
  return answer;
}

}  // namespace plugins
