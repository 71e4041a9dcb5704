// The wait window: long work on the GUI thread arms it, updates it from its work loop and
// stops it. The window appears only when the work outlasts the delay; while shown, updates
// keep events flowing and report a click on Cancel.
#pragma once

#include <cstdint>
#include <string>

namespace gui {

// "No log line this time" for UpdateWaitRequester.
inline constexpr const char* kNoLogLine = "***nothing***";

void StartWaitRequester(const std::string& text, int64_t delayMs, int parentWindow,
                        bool cancelable);
// mode 0: never pumps events; 1: text, progress and events once per clock second; 2: on
// every call. progressMax 0: no progress bar. Returns 0 when Cancel was clicked, else 1.
int UpdateWaitRequester(int mode, const std::string& text, int64_t progress, int64_t progressMax,
                        const std::string& logLine);
// Closes the window; returns the log lines given since the start, one per line.
std::string StopWaitRequester();

namespace detail {
// The window and its gadgets, 0 when absent (tests).
struct WaitRequesterGadgets {
  int window = 0, text = 0, progressBar = 0, logEditor = 0, logToggle = 0, cancelButton = 0;
};
WaitRequesterGadgets WaitRequesterParts();
void ResetWaitRequester();
}  // namespace detail

}  // namespace gui
