// The real program's run after a crash, as the crash handler starts it, with a user who
// answers: the crash message is answered Ok and the bug report confirmed with a description.
// Says "archive <path>" once the confirmation names the archive, or "gave up" when the report
// window never came; the process's end (the last writer of its output gone) says it is done.
#include <iostream>
#include <string>

#include "bug_report_driver.h"
#include "lsan_suppressions.h"
#include "platform/window_system.h"
#include "workbench/crash_follow_up.h"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  platform::EnsureApplication(argc, argv);
  platform::ScriptMessageAnswer(platform::kResultOk);
  static wbtest::BugReportDriver driver;
  static bool said = false;
  platform::SetLoopHook([] {
    driver.Turn();
    if (said || !(driver.confirmationSeen || driver.gaveUp)) return;
    said = true;
    const std::string& text = driver.confirmationText;
    const std::string before = "Please send the file \n\n";
    size_t at = text.find(before);
    if (driver.gaveUp || at == std::string::npos) {
      std::cout << "gave up" << std::endl;
      return;
    }
    at += before.size();
    std::cout << "archive " << text.substr(at, text.find("\n\nto ", at) - at) << std::endl;
  });
  workbench::AfterCrashMain(argc, argv);
}
