#include "tolvek/trusted_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "tolvek/callstack.h"

namespace tolvek {
namespace {

bool SafeStat(const struct stat& st, PathKind kind) {
  const bool kindOk = kind == PathKind::Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
  return kindOk && (st.st_uid == getuid() || st.st_uid == 0) &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool SafeFromOtherUsers(const std::string& path, PathKind kind) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && SafeStat(st, kind);
}

std::string FirstUnsafePath(const std::string& folder, const std::string& file) {
  TOLVEK_TRACE("FirstUnsafePath");
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !SafeStat(st, PathKind::Folder)) return folder;
  if (file.compare(0, folder.size(), folder) != 0) return file;
  // Every folder on the way is looked at as it is named, so "../elsewhere/" is checked where
  // it leads, and a link on the way is refused rather than followed.
  for (size_t slash = file.find('/', folder.size()); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    const std::string part = file.substr(0, slash);
    if (file[slash - 1] == '/') continue;  // an empty name between two slashes
    if (!SafeFromOtherUsers(part, PathKind::Folder)) return part;
  }
  return SafeFromOtherUsers(file, PathKind::File) ? "" : file;
}

}  // namespace tolvek
