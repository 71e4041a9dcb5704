// Asks the maker's server for the latest builds and offers the download page when a newer
// one exists; nothing is downloaded or installed here.
#include "workbench/update_check.h"

#include <string>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/http.h"
#include "tolvek/process.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

#ifndef LUMIVEX_UPDATE_SERVER
#define LUMIVEX_UPDATE_SERVER "https://lumivex.example.org/"
#endif

namespace workbench {
namespace {

constexpr const char* kTitle = "LumiVEX";
constexpr int64_t kFetchMs = 5000;
constexpr const char* kTimeout = "***TIMEOUT***";

std::string gServerOverride;

std::string DownloadPage() {
  return UpdateServer() + "downloadlumivexbinaries.htm";
}

// The start of an answer is all the check reads: the number comes first, and a server that
// sends a huge file must not cost the memory for it.
constexpr int64_t kAnswerBytes = 64;

// The answer of one file, or nothing when the check cannot go on: from the menu the user
// learns why; at start-up the check keeps quiet.
bool Fetch(const std::string& file, bool atStartup, long long& build) {
  tolvek::HttpAnswer got =
      tolvek::GetHttpAnswer(UpdateServer() + file, kFetchMs, "", false, false, kAnswerBytes);
  const std::string& answer = got.text;
  build = LeadingBuildNumber(answer);
  bool number = !answer.empty() && answer[0] >= '0' && answer[0] <= '9';
  if (number) return true;
  if (!atStartup) {
    std::string why = answer == kTimeout ? "the update server did not answer in time."
                      : !got.reached     ? "the update server could not be reached."
                                         : "the update server's answer holds no build number.";
    platform::MessageRequester(kTitle, "The update check failed: " + why);
  }
  return false;
}

void Offer(const std::string& heading, long long build, bool atStartup) {
  std::string text = heading + "Last build: \t" + std::to_string(build) + "\n" + "Your build: \t" +
                     std::to_string(kBuildNumber);
  std::string getIt = "Get the new version from " + DownloadPage();
  if (!atStartup) {
    if (platform::MessageRequester(kTitle, text + "\n\n" + getIt, platform::kMessageYesNoCancel) ==
        platform::kResultYes) {
      tolvek::OpenUrl(DownloadPage(), 1);
    }
    return;
  }
  int runAnyway = platform::MessageRequester(
      kTitle,
      text +
          "\n\nDo you want to run this outdated version anyway?\n\n(Note: You can disable "
          "auto-update-check in LumiVEX's options)",
      platform::kMessageYesNo);
  if (runAnyway == platform::kResultYes) return;
  if (platform::MessageRequester(kTitle, getIt, platform::kMessageYesNoCancel) ==
      platform::kResultYes) {
    tolvek::OpenUrl(DownloadPage(), 1);
  }
}

void MostRecent(bool atStartup) {
  if (!atStartup) {
    platform::MessageRequester(kTitle, "You are running the most recent version of LumiVEX.");
  }
}

}  // namespace

void detail::SetUpdateServer(const std::string& address) {
  gServerOverride = address;
}

std::string UpdateServer() {
  std::string server = gServerOverride.empty() ? LUMIVEX_UPDATE_SERVER : gServerOverride;
  if (server.empty() || server.back() != '/') server += '/';
  return server;
}

long long LeadingBuildNumber(const std::string& answer) {
  long long n = 0;
  for (char c : answer) {
    if (c < '0' || c > '9') break;
    if (n > 1'000'000'000'000LL) break;  // far beyond any build; stays "newer"
    n = n * 10 + (c - '0');
  }
  return n;
}

void CheckForUpdate(bool atStartup) {
  TOLVEK_TRACE("CheckForUpdate");
  long long build = 0;
  if (!Fetch("lastbuild.txt", atStartup, build)) return;
  if (build > kBuildNumber) {
    Offer("There is a new build available!\n\n", build, atStartup);
    return;
  }
  if (State().options.updateCheckBetas != 1) {
    MostRecent(atStartup);
    return;
  }
  if (!Fetch("lastbuildincludingbetas.txt", atStartup, build)) return;
  if (build > kBuildNumber) {
    Offer("There is a new beta build available!\n\n", build, atStartup);
  } else {
    MostRecent(atStartup);
  }
}

}  // namespace workbench
