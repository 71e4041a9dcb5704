// The private folder's removal for a process that ends through exit() without EndProgram: the
// window system ends a program so when its display goes away, and the finalizers never run.
#include <unistd.h>

#include <cstdlib>

#include "tolvek/callstack.h"
#include "tolvek/temp_files.h"

namespace tolvek {
namespace {

pid_t gArmedBy = 0;
bool gFinalized = false;

void MarkFinalized() {
  gFinalized = true;
}

void CleanUpAtExit() {
  // After EndProgram the finalizers have removed everything already.
  if (::getpid() != gArmedBy || gFinalized) return;
  detail::CleanUpTemporaryDirectoryUntraced();
}

}  // namespace

void CleanUpTemporaryDirectoryAtExitToo() {
  TOLVEK_TRACE("CleanUpTemporaryDirectoryAtExitToo");
  gFinalized = false;
  RegisterFinalizer(&MarkFinalized, false);
  if (gArmedBy == ::getpid()) return;
  gArmedBy = ::getpid();
  // The registry exists before the hook is registered: exit() runs the hooks registered after
  // an object was made before it destroys that object.
  GetTemporaryDirectory4TolvekZubl();
  std::atexit(CleanUpAtExit);
}

}  // namespace tolvek
