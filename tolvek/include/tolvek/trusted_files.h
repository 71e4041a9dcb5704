// Files that decide what runs (a new build, a plugin and its description) are trusted only
// when no other user could have changed them: someone who can write a file, or any folder on
// the way to it, can make it anything (a folder above lets him swap the whole folder below).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace tolvek {

enum class PathKind { File, Folder };

// The one ownership rule: st is a regular file (or a folder), owned by this user or, when
// rootMayOwn, by root, and its mode grants none of closedBits. Callers that keep private
// things close every group and other bit (077); what only has to be safe from changes
// closes the write bits.
bool OwnedAlone(const struct stat& st, PathKind kind, mode_t closedBits = S_IWGRP | S_IWOTH,
                bool rootMayOwn = true);

// Checks every folder from the root down to file, and file itself, and holds what was
// checked open (O_PATH, close-on-exec): the descriptor, which the caller closes, or -1 with
// unsafe naming the first path another user could change (or that is missing or of the wrong
// kind). Each folder passed is safe from other users or is root's with the sticky bit set (as
// /tmp: others may add entries, never move ours). Links up to and including folder are the
// user's choice and followed, when the user or root owns them; below folder (".." too) every
// name is looked at as it is, and a link there is refused. A relative path is taken from the
// current folder. file is folder followed by a relative path.
int OpenCheckedPath(const std::string& folder, const std::string& file, PathKind kind,
                    std::string& unsafe);
// The first path, from the root down to file, that is not safe from other users (as above);
// "" when all are safe.
std::string FirstUnsafePath(const std::string& folder, const std::string& file,
                            PathKind kind = PathKind::File);
// Where the system finds the file a descriptor holds, for what takes a name only.
std::string DescriptorPath(int fd);
// True when path and every folder above it are safe from other users; path is no link.
bool SafeFromOtherUsers(const std::string& path, PathKind kind);

}  // namespace tolvek
