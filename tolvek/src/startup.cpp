#include "tolvek/startup.h"

#include <mutex>

#include "tolvek/callstack.h"
#include "tolvek/console.h"
#include "tolvek/http.h"
#include "tolvek/self_update.h"
#include "tolvek/temp_files.h"

namespace tolvek {
namespace {

std::string gSuffix;
std::mutex gStartupLock;
bool gStartedUp = false;

}  // namespace

void SetPrivateTempDirSuffix(const std::string& suffix) {
  gSuffix = suffix;
}

void LibraryStartup() {
  std::lock_guard<std::mutex> lock(gStartupLock);
  if (gStartedUp) return;
  gStartedUp = true;
  // The event-log source, the expressions, the memory-string registry and the locks are
  // function-local statics that exist before their first use; the steps below are the ones
  // whose order matters.
  detail::ResetFinalizers();
  detail::InitPrivateTempDir(gSuffix);  // registers the folder removal as the first finalizer
  SetConsoleOutputFlag(false);
  PatchCompletion();
#if TOLVEK_TRACE_CALLS
  detail::InitDownloader();
#endif
}

namespace detail {
void ResetLibraryStartupForTest() {
  std::lock_guard<std::mutex> lock(gStartupLock);
  gStartedUp = false;
  ResetTempFilesForTest();
  ResetFinalizers();
}
}  // namespace detail

}  // namespace tolvek
