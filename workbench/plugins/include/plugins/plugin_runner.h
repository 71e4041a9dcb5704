// Starting plugins: programs with an argument vector and their own environment, never through
// a shell; libraries loaded once and called with the variables set around the call.
#pragma once

#include <string>

#include "plugins/plugin_environment.h"
#include "plugins/plugin_record.h"
#include "tolvek/process.h"

namespace plugins {

// Loads the record's library from folder (ends with "/"), the one checked just before; a
// failure deactivates the record with its line.
void LoadPluginLibrary(PluginRecord& record, const std::string& folder);

// Starts the record's program from folder in directory ("" = the current folder) with the
// variables added to the workbench's environment, once the program and every folder above
// it have passed the trust check again; a program file runs as it was checked. A shell script
// that is not executable is handed to /bin/sh. False when it cannot be started; unsafe then
// names the path other users could change, when that was why.
bool StartPluginProgram(const PluginRecord& record, const std::string& folder,
                        const Variables& variables, const std::string& directory,
                        tolvek::Program& program, std::string& unsafe);
// The program's answer once it has ended: the low eight bits of its exit code; a program
// ended by a signal answers 0.
uint8_t ProgramAnswer(tolvek::Program& program);

// Calls entry with the variables set in the workbench's process; they (and any the library
// set with the prefix) are gone afterwards.
uint8_t CallPluginLibrary(PluginEntry entry, const Variables& variables);

}  // namespace plugins
