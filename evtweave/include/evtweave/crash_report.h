// The converter's crash file: a run-time fault ends the program with a short report in
// $HOME/evtweave.error instead of a core dump, and exit code 1.
#pragma once

#include "tolvek/crash_report.h"

namespace evtweave {

using tolvek::CrashReportText;

inline void InstallCrashHandler() {
  tolvek::InstallCrashHandler({"evtweave.error", "", false, ""});
}

}  // namespace evtweave
