// The bug report window: every member of the archive with its preview, a description the
// user types, and the archive written only when the user confirms.
#include "workbench/bug_report.h"

#include <optional>
#include <string>
#include <vector>

#include "gui/edit_text_requester.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/temp_files.h"
#include "tolvek/text_codec.h"
#include "workbench/bug_report_files.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/preference_text.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int kAllLines = -1;
constexpr int kHeadLines = 100;

struct Member {
  std::string name;
  std::string path;  // a file source ...
  bool followLinks = true;
  std::string bytes;  // ... or these bytes
  bool fromBytes = false;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// The extension as written: what follows the file name's last ".".
std::string ExtensionOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot + 1);
}

// The session with its inputs as they stood, else as saved.
std::string SessionBytes(const BugReportSources& sources) {
  if (sources.sessionText) return *sources.sessionText;
  return preference_text::ReadTextFile(sources.sessionFile).value_or("");
}

class BugReportWindow {
 public:
  explicit BugReportWindow(const BugReportSources& sources) : m_sources(sources) {}

  void Run() {
    TOLVEK_TRACE("CreateBugReport");
    using namespace platform;
    int owner = IsWindow(Window_Main) ? Window_Main : kNoParent;
    m_window = OpenWindow(
        kNewNumber, 0, 0, 600, 700, "Bugreport",
        kWindowTitleBar | kWindowCloseBox | kWindowScreenCentered | kWindowInvisible, owner);
    TextGadget(Text_Bugreport_Explanation, 10, 10, 580, 25,
               "This bugreport will result into a ZIP archive consisting of ...");
    TreeGadget(Tree_Bugreport_Explanation, 10, 35, 580, 430);
    TextGadget(Text_Bugreport_Description, 10, 480, 580, 25, "Description of the problem:");
    EditorGadget(Editor_Bugreport_Description, 10, 505, 580, 140);
    ButtonGadget(Button_Bugreport_Ok, 145, 665, 335, 25,
                 "Ok (the report is not sent automatically)", kButtonDefault);
    ButtonGadget(Button_Bugreport_Cancel, 490, 665, 100, 25, "Cancel");

    CollectMembers();
    HideWindow(m_window, false);
    StickyWindow(m_window, true);
    bool confirmed = WaitForAnswer();
    if (confirmed) {
      WriteArchive();
    } else {
      RemoveBugReportArchive();
    }
    while (WindowEvent() != kEventNone) {
    }
    CloseWindow(m_window);
  }

 private:
  void List(const std::string& name, const std::vector<std::string>& preview) {
    platform::AddGadgetItem(Tree_Bugreport_Explanation, -1, name, 0, 0);
    for (const std::string& line : preview) {
      platform::AddGadgetItem(Tree_Bugreport_Explanation, -1, line, 0, 1);
    }
  }
  void AddFile(const std::string& name, const std::string& path, int maxLines,
               const std::string& note, bool followLinks) {
    List(name, FilePreview(path, maxLines, note));
    m_members.push_back({name, path, followLinks, "", false});
  }
  void AddBytes(const std::string& name, std::string bytes) {
    List(name, TextPreview(bytes, kAllLines, ""));
    m_members.push_back({name, "", false, std::move(bytes), true});
  }

  void CollectMembers() {
    const BugReportSources& s = m_sources;
    // The settings folder's files are the user's own and may be links to their dotfiles.
    AddFile(".lumivex", s.settingsFolder + ".lumivex", kAllLines, "", true);
    AddBytes("session.lv", SessionBytes(s));
    for (const char* list : {"evtweave_fileignores.dat", "evtweave_registrykeyignores.dat",
                             "evtweave_serverignores.dat"}) {
      std::string used = s.ignoreListFolder + list;
      if (!s.ignoreListFolder.empty() && SourceExists(used)) {
        AddFile(list, used, kAllLines, "", false);
      } else {
        AddFile(list, s.settingsFolder + list, kAllLines, "", true);
      }
    }
    if (!s.generationLog.empty()) {
      AddBytes("generategraph.log", tolvek::Utf8ToAnsi(s.generationLog));
    }
    // The inputs are the files the analyst named, links and all.
    if (SourceExists(s.procmonFile)) AddFile("procmon.csv", s.procmonFile, kHeadLines, "...", true);
    if (SourceExists(s.windumpFile)) {
      std::string extension = ExtensionOf(s.windumpFile);
      if (Lower(extension) == "txt") {
        AddFile("windump." + extension, s.windumpFile, kHeadLines, "...", true);
      } else {
        AddFile("windump." + extension, s.windumpFile, 0, "(Binary data)", true);
      }
    }
    // The work files live in the private folder: a link there is nobody's to follow.
    struct Work {
      const char* name;
      const std::string& path;
      bool binary;
    };
    const WorkFilePaths& f = s.work;
    const Work work[] = {{"tempfile_lumivex.dot", f.graphFileDot, false},
                         {"tempfile_lumivex.dot.lumivex", f.graphFileDot + ".lumivex", false},
                         {"tempfile_lumivex.png", f.graphFilePng, true},
                         {"tempfile_procmon.csv", f.tempProcmonCsv, false},
                         {"tempfile_lumivex.txt", f.graphFileTxt, false},
                         {"tempfile_windump.txt", f.tempWindumpTxt, false}};
    for (const Work& w : work) {
      if (!f.graphFileDot.empty() && SourceExists(w.path)) {
        AddFile(w.name, w.path, w.binary ? 0 : kHeadLines, w.binary ? "(Binary data)" : "...",
                false);
      }
    }
    if (s.afterCrash && CrashFileIsThisCrashs(s.crashFile, s.crashedRunStart)) {
      AddFile("lumivex.error", s.crashFile, kAllLines, "", false);
    }
    std::vector<std::string> description = DescriptionHead();
    description.push_back("(The text you enter(ed) below)");
    List("description.txt", description);
  }

  // True when the user confirmed; Cancel, any close request and an end request cancel.
  bool WaitForAnswer() {
    using namespace platform;
    while (!IsEndRequested()) {
      int event = WaitWindowEvent();
      if (event == kEventCloseWindow) return false;
      if (event == kEventGadget && EventWindow() == m_window) {
        if (EventGadget() == Button_Bugreport_Ok) return true;
        if (EventGadget() == Button_Bugreport_Cancel) return false;
      }
    }
    return false;
  }

  void WriteArchive() {
    std::string description;
    for (const std::string& line : DescriptionHead()) description += line + "\r\n";
    description += platform::GetGadgetText(Editor_Bugreport_Description);

    RemoveFreshBugReportFolders();
    std::string folder = BugReportFolder();
    std::string failure;
    std::string path;
    if (folder.empty()) {
      failure = "no private folder for it in the temporary folder";
    } else {
      ZipArchive zip(folder);
      for (const Member& m : m_members) {
        if (m.fromBytes) {
          zip.AddBytes(m.name, m.bytes);
        } else {
          zip.AddFile(m.name, m.path, m.followLinks);
        }
      }
      zip.AddBytes("description.txt", tolvek::Utf8ToAnsi(description));
      if (!zip.Keep()) failure = zip.Error();
      path = zip.Path();
    }
    if (!failure.empty()) {
      platform::MessageRequester("Bugreport", "The bugreport could not be created: " + failure);
      return;
    }
    gui::EditTextRequesterFromString(
        "Bugreport",
        "The bugreport has been created.\n\nPlease send the file \n\n" + path + "\n\nto " +
            kBugReportAddress,
        m_window,
        // The report window stays on top of others: so must its answer, or it opens unseen
        // behind it. The archive's path is read whole, wrapped as the window is narrow.
        gui::ETR_ReadOnly | gui::ETR_KeepDiscard | gui::ETR_MenuClose | gui::ETR_EscapeCloses |
            gui::ETR_StayOnTop | gui::ETR_WrapLines,
        "");
  }

  const BugReportSources& m_sources;
  int m_window = 0;
  std::vector<Member> m_members;
};

}  // namespace

WorkFilePaths CurrentWorkFilePaths() {
  WorkbenchState& s = State();
  WorkFilePaths work;
  if (s.files.graphFileDot) {
    work.graphFileDot = tolvek::GetTempFilePath(s.files.graphFileDot);
    work.graphFilePng = tolvek::GetTempFilePath(s.files.graphFilePng);
    work.graphFileTxt = tolvek::GetTempFilePath(s.files.graphFileTxt);
    work.tempProcmonCsv = tolvek::GetTempFilePath(s.files.tempProcmonCsv);
    work.tempWindumpTxt = tolvek::GetTempFilePath(s.files.tempWindumpTxt);
  }
  // A Refresh that failed left its own files and its log: they go together, and the canvas
  // picture is of another graph.
  if (s.unshownRun.dot) {
    work.graphFileDot = tolvek::GetTempFilePath(s.unshownRun.dot);
    work.graphFileTxt = tolvek::GetTempFilePath(s.unshownRun.plain);
    work.graphFilePng.clear();
  }
  return work;
}

BugReportSources CurrentBugReportSources(bool afterCrash) {
  WorkbenchState& s = State();
  BugReportSources sources;
  sources.settingsFolder = s.settingsFolder;
  sources.ignoreListFolder = RunIgnoreListFolder();
  sources.sessionFile = s.sessionFile;
  if (platform::IsGadget(String_Main_ProcmonFile)) {
    sources.procmonFile = platform::GetGadgetText(String_Main_ProcmonFile);
    sources.windumpFile = platform::GetGadgetText(String_Main_WindumpFile);
    std::string saved = preference_text::ReadTextFile(s.sessionFile).value_or("");
    sources.sessionText = SessionTextWithInputsOnScreen(saved).value_or(saved);
  }
  sources.generationLog = s.generationLog;
  sources.work = CurrentWorkFilePaths();
  sources.afterCrash = afterCrash;
  const char* home = std::getenv("HOME");
  std::string profile = home && *home ? home : "/";
  if (profile.back() != '/') profile += '/';
  sources.crashFile = profile + "lumivex.error";
  return sources;
}

void RunBugReport(const BugReportSources& sources) {
  BugReportWindow(sources).Run();
}

void CreateBugReport(bool afterCrash) {
  RunBugReport(CurrentBugReportSources(afterCrash));
}

}  // namespace workbench
