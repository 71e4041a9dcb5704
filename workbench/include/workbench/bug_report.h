// The bug report: a zip archive of everything needed to reproduce a problem, shown member by
// member with a preview before it is kept.
#pragma once

#include <string>
#include <vector>

namespace workbench {

// What goes into a report. From the Help menu everything comes from the running workbench;
// after a crash the fresh process knows only the files the crashed run handed over.
struct BugReportSources {
  std::string settingsFolder;  // ends with "/"
  // Where the last Refresh wrote the ignore lists it handed the converter (ends with "/");
  // without them there, the settings folder's lists go in.
  std::string ignoreListFolder;
  std::string sessionFile;
  bool inputsOnScreen = false;  // the main window's gadgets exist: session keys and inputs
  std::string generationLog;
  std::string graphFileDot, graphFilePng, graphFileTxt, tempProcmonCsv, tempWindumpTxt;
  bool afterCrash = false;
  std::string crashFile;
};

BugReportSources CurrentBugReportSources(bool afterCrash);
void RunBugReport(const BugReportSources& sources);

// The per-user folder (mode 0700, ends with "/") in the system temporary folder that holds
// the archive: the usual one when it is the user's alone, else a fresh one; "" when none
// can be made.
std::string BugReportFolder();
// Takes an earlier archive out of the usual folder (when that folder is the user's alone).
void RemoveBugReportArchive();
inline constexpr const char* kBugReportArchive = "lumivex_bugreport.zip";

// Preview lines of a file: at most maxLines (all when negative) read one by one in the
// file's encoding, then note when exactly maxLines were taken or maxLines is 0.
std::vector<std::string> FilePreview(const std::string& path, int maxLines,
                                     const std::string& note);

// The description's first lines (version, system, architecture, "----").
std::vector<std::string> DescriptionHead();

}  // namespace workbench
