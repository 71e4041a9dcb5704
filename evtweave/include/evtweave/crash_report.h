// The converter's crash file: a run-time fault ends the program with a short report in
// $HOME/evtweave.error instead of a core dump, and exit code 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace evtweave {

void InstallCrashHandler();

// The five report lines (each ended by CR LF); shared by the signal handler's fixed-buffer
// path and the tests.
std::string CrashReportText(uint64_t address, int code, std::string_view file, int64_t line,
                            std::string_view message);

}  // namespace evtweave
