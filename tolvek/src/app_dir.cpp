#include "tolvek/app_dir.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "tolvek/callstack.h"
#include "tolvek/file_write.h"
#include "tolvek/process.h"

namespace tolvek {
namespace {

// Callers add the separator themselves, so the root folder becomes "".
std::string WithoutTrailingSlash(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = NonEmptyEnv("HOME");
  if (home.empty()) {
    std::vector<char> buf(16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found) {
      home = found->pw_dir;
    }
  }
  return WithoutTrailingSlash(home);
}

std::string BaseFolder() {
  std::string base = NonEmptyEnv("APPDATA");
  if (base.empty()) {
    base = NonEmptyEnv("XDG_CONFIG_HOME");
    // A relative configuration folder would depend on the working folder of the moment.
    if (!base.empty() && base[0] != '/') base.clear();
  }
  if (base.empty()) base = HomeFolder() + "/.config";
  return WithoutTrailingSlash(base);
}

// A fresh account may not have its configuration folder yet.
void CreateFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPlainFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Moves a file but never onto an existing one: a settings file already in place wins.
bool MoveNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a link fails on an existing name just the same.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

}  // namespace

std::string GetApplicationDirectory(const std::string& appName) {
  TOLVEK_TRACE("GetApplicationDirectory");
  std::string base = BaseFolder();
  CreateFolders(base);
  std::string dir = base + "/" + appName;
  if (mkdir(dir.c_str(), 0700) == 0 || IsFolder(dir)) return dir + "/";
  if (IsPlainFile(dir)) {
    // The older layout kept one file per application where the folder now goes.
    std::string parked = dir + ".temp";
    if (MoveNoReplace(dir, parked)) {
      if (mkdir(dir.c_str(), 0700) == 0) {
        MoveNoReplace(parked, dir + "/" + appName);
      } else {
        MoveNoReplace(parked, dir);
      }
    }
  }
  return dir + "/";
}

std::string GetApplicationDirectoryPath4File(const std::string& appName,
                                             const std::string& fileName) {
  TOLVEK_TRACE("GetApplicationDirectoryPath4File");
  std::string target = GetApplicationDirectory(appName) + fileName;
  std::string home = HomeFolder() + "/";
  if (IsPlainFile(home + fileName)) {
    MoveNoReplace(home + fileName, target);
  } else if (IsPlainFile(home + "." + fileName)) {
    MoveNoReplace(home + "." + fileName, target);
  }
  return target;
}

int64_t GetBinaryLengthFromDatasection(const unsigned char* start, const unsigned char* end) {
  TOLVEK_TRACE("GetBinaryLengthFromDatasection");
  return end - start;
}

bool WriteBinaryFromDatasection2Disk(const unsigned char* start, const unsigned char* end,
                                     const std::string& path) {
  TOLVEK_TRACE("WriteBinaryFromDatasection2Disk");
  int64_t length = GetBinaryLengthFromDatasection(start, end);
  if (length < 0 || (length > 0 && !start) || path.empty()) return false;
  // The kept bytes replace the file only when complete, so a full disk never leaves half a
  // program or an emptied settings file behind.
  return WriteFileWhole(
      path, std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(length)));
}

}  // namespace tolvek
