#include "plugins/plugin_runner.h"

#include <dlfcn.h>
#include <unistd.h>

#include "tolvek/callstack.h"

namespace plugins {

void LoadPluginLibrary(PluginRecord& record) {
  TOLVEK_TRACE("LoadPluginLibrary");
  void* handle = dlopen(record.File.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    Deactivate(record, "Could not load library!");
    return;
  }
  auto call = reinterpret_cast<PluginEntry>(dlsym(handle, "LumiVEXPluginCall"));
  if (!call) {
    Deactivate(record, "Could not find exported function 'LumiVEXPluginCall'!");
    dlclose(handle);
    return;
  }
  // A loaded library stays loaded until the program ends.
  record.LibraryHandle = handle;
  record.CallEntry = call;
  if (record.CanBeVerified) {
    record.VerifyEntry = reinterpret_cast<PluginEntry>(dlsym(handle, "LumiVEXPluginVerify"));
  }
}

bool StartPluginProgram(const PluginRecord& record, const Variables& variables,
                        const std::string& directory, tolvek::Program& program) {
  TOLVEK_TRACE("StartPluginProgram");
  tolvek::ProgramOptions options;
  options.redirect = false;  // a plugin's own output goes nowhere
  // A plugin that is not waited for runs on its own, past the workbench's end too.
  options.endWithParent = false;
  options.environment = ProgramEnvironment(variables);
  // A path without a folder would be looked up in PATH; the plugin's file always has one.
  if (record.File.find('/') == std::string::npos) return false;
  if (record.Architecture == "LinuxShellScript" && access(record.File.c_str(), X_OK) != 0) {
    return tolvek::StartProgram("/bin/sh", {record.File}, directory, program, options);
  }
  return tolvek::StartProgram(record.File, {}, directory, program, options);
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
