// Writing a file whole: the bytes go to a file beside the target, which replaces it only
// when complete, so a full disk or a crash never leaves half a file behind.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tolvek {

struct WriteOptions {
  // A link at the path is followed only when it (and every link it leads through) belongs
  // to the user running the program: a user's own dotfile links keep working, while a link
  // someone else planted in a shared folder is replaced instead of aiming our bytes at its
  // target. Without this flag a link is always replaced.
  bool followOwnLinks = true;
  // Waits until the bytes are on the disk; outputs that are regenerated on every run can
  // skip the wait.
  bool sync = true;
};

// Replaces path with bytes. Permission bits of a replaced file are kept, less setuid,
// setgid and sticky. Only a plain file the user may write, or a missing one in a folder the
// user may write, is replaced: never a device, a FIFO, a folder or a file whose mode forbids
// writing. False when anything fails; the old file then stays, and errno tells why (EACCES for
// a file whose mode forbids writing or a path these rules refuse, EISDIR for a folder, EPERM
// for a device or a FIFO).
bool WriteFileWhole(const std::string& path, std::string_view bytes,
                    const WriteOptions& options = {});
// The same with the file's bytes given as pieces in order, so a large file made of parts of
// others never has to be put together in memory first.
bool WriteFileWhole(const std::string& path, std::initializer_list<std::string_view> pieces,
                    const WriteOptions& options = {});
// The same with the bytes that fill writes to the new file's descriptor; fill's false (or
// any failure) keeps the old file.
bool WriteFileWholeWith(const std::string& path, const std::function<bool(int fd)>& fill,
                        const WriteOptions& options = {});

// The path that a write of path under options would replace, or "" when it would refuse
// (see WriteFileWhole). Lets a caller check several outputs before it writes any.
std::string ReplaceableTarget(const std::string& path, const WriteOptions& options = {});

// A new empty file beside target for writing, named so that concurrent writers never meet;
// its descriptor, or -1. name receives its path.
int CreateSiblingFile(const std::string& target, std::string& name);

// Writes all bytes to fd, in pieces as the system takes them; false on any failure.
bool WriteAllBytes(int fd, const void* data, size_t length);
// Appends what the file open as from holds from offset to its end to fd, copied inside the
// kernel where it can; false on any failure.
bool CopyFileTail(int from, int64_t offset, int to);

namespace detail {
// The user whose files count as the program's own (the effective user).
uid_t OwnUserId();
// Test seam: files of uid count as the program's own; (uid_t)-1 restores the real user.
void SetOwnUserIdForTest(uid_t uid);
}  // namespace detail

}  // namespace tolvek
