// Files that decide what runs (a new build, a plugin and its description) are trusted only
// when no other user could have changed them: someone who can write a file, or the folder it
// lies in, can make it anything.
#pragma once

#include <string>

namespace tolvek {

enum class PathKind { File, Folder };

// True when path is a regular file (or a folder), not a link, owned by this user or by root,
// that neither its group nor others may write.
bool SafeFromOtherUsers(const std::string& path, PathKind kind);

// The first path, from folder down to file, that is not safe from other users: folder itself
// (a link the user configured is followed), each folder that file names below it ("..", too)
// and file. "" when all are safe. file is folder followed by a relative path.
std::string FirstUnsafePath(const std::string& folder, const std::string& file);

}  // namespace tolvek
