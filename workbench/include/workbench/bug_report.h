// The bug report: a zip archive of everything needed to reproduce a problem, shown member by
// member with a preview before it is kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace workbench {

// The work files a report packs: the shown graph's, or those of a Refresh that did not get
// to show its graph.
struct WorkFilePaths {
  std::string graphFileDot, graphFilePng, graphFileTxt, tempProcmonCsv, tempWindumpTxt;
};
WorkFilePaths CurrentWorkFilePaths();

// What goes into a report. From the Help menu everything comes from the running workbench;
// after a crash the fresh process knows only the files the crashed run handed over.
struct BugReportSources {
  std::string settingsFolder;  // ends with "/"
  // Where the last Refresh wrote the ignore lists it handed the converter (ends with "/");
  // without them there, the settings folder's lists go in.
  std::string ignoreListFolder;
  std::string sessionFile;
  // The session with the inputs as they stood (on screen, or at the crashed run's last
  // Refresh); without it the session file goes in as saved.
  std::optional<std::string> sessionText;
  std::string procmonFile, windumpFile;  // the inputs; "" when unknown
  std::string generationLog;
  WorkFilePaths work;
  bool afterCrash = false;
  std::string crashFile;
  // When the crashed run started (seconds since the epoch; 0 unknown): a crash file from
  // before then is an earlier crash's.
  int64_t crashedRunStart = 0;
};

BugReportSources CurrentBugReportSources(bool afterCrash);
void RunBugReport(const BugReportSources& sources);

// The last Refresh's inputs and log in a file of the instance's own, written as a Refresh
// starts (without its log) and ends; the crash handler's follow-up is told where it is.
std::string LastRefreshFilePath();
void RecordLastRefresh(bool withLog);
// What that file holds, put into the sources of the crashed run's report.
void ApplyLastRefresh(const std::string& path, BugReportSources& sources);
// The crash file exists and was written since the crashed run started.
bool CrashFileIsThisCrashs(const std::string& path, int64_t crashedRunStart);
// When this process started, in seconds since the epoch (read at the first call).
int64_t ProcessStartTime();

// The per-user folder (mode 0700, ends with "/") in the system temporary folder that holds
// the archive: the usual one when it is the user's alone, else a fresh one; "" when none
// can be made.
std::string BugReportFolder();
// Takes the earlier archives away: the usual folder's (when that folder is the user's alone)
// and the fresh folders with theirs.
void RemoveBugReportArchive();
// The fresh folders that earlier reports made because the usual one was taken, with their
// archives: a new report replaces them as it replaces the usual folder's archive.
void RemoveFreshBugReportFolders();
inline constexpr const char* kBugReportArchive = "lumivex_bugreport.zip";

// Preview lines of a file: at most maxLines (all when negative) read one by one in the
// file's encoding, then note when exactly maxLines were taken or maxLines is 0.
std::vector<std::string> FilePreview(const std::string& path, int maxLines,
                                     const std::string& note);

// The description's first lines (version, system, architecture, "----").
std::vector<std::string> DescriptionHead();

}  // namespace workbench
