// Completion of a pending self-update at start-up, and the copy it needs.
#pragma once

#include <functional>
#include <string>

namespace tolvek {

// Start-up step, after the private temporary folder exists. Either returns, or (in an
// update copy with an instruction file) installs the new build, starts it and ends.
void PatchCompletion();

// Copies source over destination through a temporary file beside the destination and a
// rename, so a running program's file is replaced rather than overwritten in place. The
// source's permission bits are kept, less setuid, setgid and sticky. Only a plain file is
// copied, never through a link. False when any step fails; nothing partial is left.
bool CopyFileReplacing(const std::string& source, const std::string& destination);

// The copy program's work: source copied over destination with the update copy's retries; 0
// when it succeeded, else 1. A source that is no plain file is refused at once: with
// administrator rights a link or a device would copy whatever it leads to, and waiting would
// not change what it is.
int CopyHelperRun(const std::string& source, const std::string& destination);

// The per-user folder in which an update copy, its instruction file and a leftover copy
// live: "tolvek.update-<uid>/" in the system temporary folder, never writable by others.
std::string SelfUpdateDirectory();

namespace detail {
// Seams for tests: the pause between attempts, the removal of a file, the copy program and
// the end of the process after the updated program has been started.
struct SelfUpdateHooks {
  std::function<void(int ms)> sleep;
  std::function<bool(const std::string& path)> removeFile;
  std::string copyHelperPath;  // "" = "copyhelper" beside the running program
  std::function<void()> endProcess;
};
SelfUpdateHooks& SelfUpdateHooksForTest();
}  // namespace detail

}  // namespace tolvek
