// The disorderly end: a fault anywhere writes lumivex.error through the library's crash
// handler, which then starts the workbench again to tell the user and to pack the report.
// Nothing of the crashed process runs after the fault but fixed-buffer writes.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "gui/scintilla_wrapper.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/crash_report.h"
#include "tolvek/process.h"
#include "tolvek/startup.h"
#include "tolvek/temp_files.h"
#include "workbench/bug_report.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

#ifndef LUMIVEX_PROJECT_ADDRESS
#define LUMIVEX_PROJECT_ADDRESS "https://lumivex.example.org/"
#endif

namespace workbench {

const char* const kForumAddress = LUMIVEX_PROJECT_ADDRESS "forum/";
const char* const kBugReportAddress = "bugreports@lumivex.example.org";

namespace {

std::string CrashFileTail() {
  return std::string(
             "Please share this file with us by posting a bug report in the LumiVEX forum "
             "at\r\n    ") +
         kForumAddress + "\r\nor send it attached to an email to\r\n    " + kBugReportAddress +
         "\r\nThx a lot for your understanding and efforts.\r\n";
}

std::string ProfileFolder() {
  const char* home = std::getenv("HOME");
  std::string folder = home && *home ? home : "/";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// Test aid: with LUMIVEX_TEST_FAULT set the main loop's next turn faults, so the tests can
// watch the whole crash path of the real program.
__attribute__((noinline)) void FaultForTest() {
  TOLVEK_TRACE("FaultForTest");
  *reinterpret_cast<volatile int*>(uintptr_t{8}) = 1;
}

}  // namespace

namespace {

// The arguments' order; the crash file, which the handler adds, comes last.
std::vector<std::string*> ArgumentFields(CrashedRun& run) {
  WorkFilePaths& w = run.work;
  return {&run.sessionFile,      &w.graphFileDot,   &w.graphFilePng,      &w.graphFileTxt,
          &w.tempProcmonCsv,     &w.tempWindumpTxt, &run.lastRefreshFile, &run.startedAt,
          &run.ignoreListFolder, &run.workFolder,   &run.processId,       &run.crashFile};
}

}  // namespace

std::vector<std::string> CrashedRunArguments(const CrashedRun& run) {
  CrashedRun copy = run;
  std::vector<std::string> arguments;
  for (std::string* field : ArgumentFields(copy)) arguments.push_back(std::move(*field));
  arguments.pop_back();  // the crash file is the handler's to add
  return arguments;
}

CrashedRun CrashedRunFromArguments(const std::vector<std::string>& arguments) {
  CrashedRun run;
  std::vector<std::string*> fields = ArgumentFields(run);
  for (size_t i = 0; i < fields.size() && i < arguments.size(); ++i) *fields[i] = arguments[i];
  return run;
}

void InstallCrashHandler() {
  tolvek::InstallCrashHandler({"lumivex.error",
                               "LumiVEX-Build: " + std::to_string(kBuildNumber) + "\r\n", true,
                               CrashFileTail()});
}

CrashedRun CurrentCrashedRun() {
  CrashedRun run;
  run.sessionFile = State().sessionFile;
  // The files the bug report would pack now: after a failed Refresh, that run's own.
  run.work = CurrentWorkFilePaths();
  run.lastRefreshFile = LastRefreshFilePath();
  run.startedAt = std::to_string(ProcessStartTime());
  run.ignoreListFolder = RunIgnoreListFolder();
  run.workFolder = tolvek::GetTemporaryDirectory4TolvekZubl();
  run.processId = std::to_string(tolvek::GetProcessId());
  return run;
}

void UpdateCrashFollowUp() {
  WorkbenchState& s = State();
  if (s.programFolder.empty()) return;
  std::vector<std::string> argv = {s.programFolder + "lumivex", kAfterCrashArgument};
  for (std::string& a : CrashedRunArguments(CurrentCrashedRun())) argv.push_back(std::move(a));
  tolvek::SetCrashFollowUp(argv);
}

void CheckTestFault(const char* stage) {
  const char* wanted = std::getenv("LUMIVEX_TEST_FAULT");
  if (wanted && std::string_view(wanted) == stage) FaultForTest();
}

std::string CrashMessage(const std::string& profileFolder, bool written) {
  return "Ooops, LumiVEX crashed!\n\nWe feel very sorry for this bad experience. However, we "
         "can assure you this is not a feature, it's definitely a bug. Therefore LumiVEX has "
         "written a short error log to the file \"" +
         profileFolder + "lumivex.error\"." +
         (written ? "" : "\n\nUnfortunately this file could not be written.") +
         "\n\nPlease share this file with us by posting a bug "
         "report in the LumiVEX forum at\n\n" +
         kForumAddress + "\n\nor send it attached to an email to\n\n" + kBugReportAddress +
         "\n\nThx a lot for your understanding and efforts.";
}

void RunAfterCrash(const CrashedRun& run) {
  TOLVEK_TRACE("RunAfterCrash");
  std::string profile = ProfileFolder();
  // Only the file the handler wrote is this crash's: an older one under the same name would
  // describe another.
  platform::MessageRequester("LumiVEX", CrashMessage(profile, !run.crashFile.empty()));
  BugReportSources sources;
  sources.settingsFolder = profile + ".lumivex/";
  sources.ignoreListFolder = run.ignoreListFolder;
  sources.sessionFile = run.sessionFile;
  sources.work = run.work;
  sources.afterCrash = true;
  sources.crashFile = run.crashFile;
  sources.crashedRunStart = std::atoll(run.startedAt.c_str());
  ApplyLastRefresh(run.lastRefreshFile, sources);
  RunBugReport(sources);
}

void AfterCrashMain(int argc, char** argv) {
  CrashedRun run = CrashedRunFromArguments(std::vector<std::string>(argv + 2, argv + argc));
  tolvek::HoldLeftFiles(run.workFolder, std::atoll(run.processId.c_str()));
  platform::EnsureApplication(argc, argv);
  RegisterGadgetConstants();
  tolvek::SetPrivateTempDirSuffix("lumivex");
  tolvek::LibraryStartup();
  gui::Scintilla_Startup();
  RunAfterCrash(run);
  tolvek::RemoveLeftFiles();
  tolvek::EndProgram(0);
}

}  // namespace workbench
