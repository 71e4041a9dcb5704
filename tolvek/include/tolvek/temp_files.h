// The program's private temporary folder and its registry of temporary files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tolvek {

// The system's temporary folder followed by "/": $TMPDIR when set and not empty, else /tmp.
std::string SystemTemporaryDirectory();

// The private folder followed by "/"; "" before the start-up has made it.
std::string GetTemporaryDirectory4TolvekZubl();

// Open handle (> 0) with both flags false; the negative id with close or del; 0 on failure,
// also when all 99,999 numbers are in use.
// With del the file is created and deleted again: a unique path that does not exist yet.
int64_t CreateTempFile(bool close, bool del, const std::string& extension);
// Closes an open registered file; returns its negative id, or 0 for an unknown handle.
int64_t CloseTempFile(int64_t handle);
// Full path for an open handle or a negative id; "" for an unknown id.
std::string GetTempFilePath(int64_t id);
void DeleteTempFile(int64_t id);
// A folder of this process's own in the private folder, named like its files and made when
// missing, followed by "/"; "" when it cannot be made. It goes with the process's files.
std::string GetOwnTempFolder(const std::string& name);
// The descriptor behind an open handle, for writing (-1 for an unknown handle).
int TempFileDescriptor(int64_t handle);

// Finalizers run by the program end. The folder is removed whole only by the last
// instance that shares it; the others remove just their own files.
void DeleteTempFiles();
void CleanUpTemporaryDirectory4TolvekZubl();
// The folder's removal once more when the process ends through exit() without EndProgram (the
// window system ends a program so when its display goes away); the files of this process are
// all in the folder. Armed once the start-up has made the folder; only the process that armed
// it removes anything, so a forked child that exits leaves the files alone.
void CleanUpTemporaryDirectoryAtExitToo();

// The files that another instance of ours, the process processId, left in its private folder
// when it ended without its finalizers (a crash): held, they stay until RemoveLeftFiles, as
// if that instance still ran, and no start-up takes its folder for an abandoned one. Called
// before the start-up; false when there is nothing (any more) to hold.
bool HoldLeftFiles(const std::string& folder, int64_t processId);
// Removes the held files, and their folder when it is not ours and nobody uses it any more.
void RemoveLeftFiles();

namespace detail {
// Start-up step: computes and creates the private folder (fatal report on failure) and
// registers its removal as a finalizer. The folder lies in $XDG_RUNTIME_DIR when that is a
// private folder of the user's, else in the system's temporary folder; when its name is
// taken by anything but our own private folder, a fresh one with a random tail is made
// beside it. Private folders of the user's whose lock nobody holds any more (left by a
// program that ended abnormally) are removed.
void InitPrivateTempDir(const std::string& suffix);
// Test seam: hook runs after the lock file is opened and before it is locked.
void SetBeforeLockHookForTest(std::function<void()> hook);
// Test seam: forgets the registry and the folder state (the folder is left as it is).
void ResetTempFilesForTest();
// CleanUpTemporaryDirectory4TolvekZubl without the call-stack trace, which an exit hook no
// longer has: the thread's trace is gone before the hooks run.
void CleanUpTemporaryDirectoryUntraced();
}  // namespace detail

}  // namespace tolvek
