#include "evtweave/output_files.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "evtweave/console_output.h"
#include "evtweave/converter_state.h"
#include "evtweave/details_file.h"
#include "evtweave/ignore_lists.h"

namespace evtweave {
namespace {

// Where a file is: its device and inode when it exists, and its full path with every link
// and "." or ".." resolved (for a missing file, its folder's resolved path and its name).
struct FileIdentity {
  bool m_exists = false;
  dev_t m_device = 0;
  ino_t m_inode = 0;
  std::string m_resolved;
};

std::string Resolved(const std::string& path) {
  std::string result;
  if (char* real = realpath(path.c_str(), nullptr)) {
    result = real;
    std::free(real);
  }
  return result;
}

// The device and inode of what path names: with follow, of the file a link leads to.
FileIdentity Identity(const std::string& path, bool follow) {
  FileIdentity id;
  struct stat st;
  id.m_exists = (follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0;
  if (id.m_exists) {
    id.m_device = st.st_dev;
    id.m_inode = st.st_ino;
  }
  return id;
}

// Inputs are read through links, so a link counts as the file it names.
FileIdentity InputIdentity(const std::string& path) {
  FileIdentity id = Identity(path, true);
  id.m_resolved = Resolved(path);
  return id;
}

// An output replaces whatever entry its path names, a link included, so the entry itself
// is what counts; where there is none yet, the path it will get.
FileIdentity OutputIdentity(const std::string& path) {
  FileIdentity id = Identity(path, false);
  if (id.m_exists) return id;
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string resolvedFolder = Resolved(folder);
  if (!resolvedFolder.empty() && name != "." && name != "..") {
    id.m_resolved = resolvedFolder + (resolvedFolder == "/" ? "" : "/") + name;
  }
  return id;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.m_exists && b.m_exists) return a.m_device == b.m_device && a.m_inode == b.m_inode;
  return !a.m_resolved.empty() && a.m_resolved == b.m_resolved;
}

}  // namespace

bool OutputPathsUsable() {
  ConverterState& state = State();
  // An empty DOT path is the DOT writer's own error, and then no details file is written.
  if (state.DotFile.empty()) return true;
  std::vector<std::string> outputs{state.DotFile};
  if (state.options.lumivex) outputs.push_back(state.DotFile + std::string(kDetailsSuffix));

  std::vector<FileIdentity> inputs;
  for (const std::string& input : {state.CsvFile, state.CaptureFile, std::string(kFileIgnores),
                                   std::string(kRegistryKeyIgnores), std::string(kServerIgnores)}) {
    if (!input.empty()) inputs.push_back(InputIdentity(input));
  }
  std::vector<FileIdentity> written;
  bool usable = true;
  for (const std::string& output : outputs) {
    FileIdentity id = OutputIdentity(output);
    bool ok = !tolvek::ReplaceableTarget(output, kOutputWriteOptions).empty();
    for (const FileIdentity& other : inputs) ok = ok && !SameFile(id, other);
    for (const FileIdentity& other : written) ok = ok && !SameFile(id, other);
    written.push_back(id);
    if (!ok) {
      PrintConsoleLine("Error: Couldn't write file '" + output + "'!");
      usable = false;
    }
  }
  if (!usable) state.m_failed = true;
  return usable;
}

}  // namespace evtweave
