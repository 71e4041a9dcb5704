// After a crash: the crash file names where to report, and a fresh process (the workbench
// started again by the crash handler) tells the user and runs the bug report.
#pragma once

#include <string>
#include <vector>

#include "workbench/bug_report.h"

namespace workbench {

// The argument by which the crash handler starts the workbench again; nobody else passes it.
inline constexpr const char* kAfterCrashArgument = "--after-crash";

// Where users report problems; they stand in the crash file and the crash message.
extern const char* const kForumAddress;
extern const char* const kBugReportAddress;

// The crashed run's files, as the crash handler hands them to the fresh process.
struct CrashedRun {
  std::string sessionFile;
  WorkFilePaths work;
  std::string lastRefreshFile;  // the inputs and log of its last Refresh
  std::string startedAt;        // seconds since the epoch, in decimal
  // The ignore lists its last Refresh handed the converter are in this folder (ends with "/").
  std::string ignoreListFolder;
  // Its private folder and process id, which name its files there: the fresh process keeps
  // them until the report is made, then removes them.
  std::string workFolder, processId;
  // The crash file as the handler wrote it; "" when it could not be written.
  std::string crashFile;
};

// The arguments (after the program and kAfterCrashArgument) that the workbench arms, and
// back from those the fresh process gets, which end with the handler's crashFile.
std::vector<std::string> CrashedRunArguments(const CrashedRun& run);
CrashedRun CrashedRunFromArguments(const std::vector<std::string>& arguments);

// The crashed run as the follow-up would be told of it now.
CrashedRun CurrentCrashedRun();

// Keeps the crash handler's follow-up in step with the current session and work files.
void UpdateCrashFollowUp();

// Test aid: faults when LUMIVEX_TEST_FAULT holds stage ("startup": after the splash,
// "loop": the main loop's next turn).
void CheckTestFault(const char* stage);

// The fresh process's whole run: the crashed run's files held (before the library's start-up,
// which would take a folder nobody holds for an abandoned one), RunAfterCrash, then those
// files removed and the end with the finalizers.
[[noreturn]] void AfterCrashMain(int argc, char** argv);

// The fresh process: shows the crash message and runs the bug report of the crashed run,
// then returns.
void RunAfterCrash(const CrashedRun& run);

// The text of the crash message for a crash file in this profile folder (ends with "/"),
// and whether the file could be written.
std::string CrashMessage(const std::string& profileFolder, bool written);

}  // namespace workbench
