// The bug report's files: the per-user folder, the previews and the zip archive.
#include "workbench/bug_report_files.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "tolvek/text_codec.h"
#include "tolvek/trusted_files.h"
#include "workbench/bug_report.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

// A preview shows lines, not a file: a line longer than this is cut, and a file that has
// not shown its lines within this many bytes ends its preview there.
constexpr size_t kPreviewLineUnits = 4096;
constexpr size_t kPreviewReadLimit = 8 << 20;
constexpr size_t kChunk = 64 << 10;

std::string TextOfLine(const std::string& bytes) {
  return tolvek::IsValidUtf8(bytes) ? bytes : tolvek::AnsiToUtf8(bytes);
}

// Splits what it is fed into lines ended by CR, LF, CR LF or LF CR.
class LineSplitter {
 public:
  LineSplitter(int maxLines, std::vector<std::string>& out) : m_max(maxLines), m_out(out) {}
  bool Full() const { return m_max >= 0 && m_count >= m_max; }
  int Count() const { return m_count; }

  // 8-bit or UTF-8 bytes; utf16: little (1) or big (2) endian code units.
  void Feed(const char* data, size_t size, int utf16) {
    for (size_t i = 0; i < size && !Full();) {
      uint32_t unit;
      if (utf16) {
        if (m_haveOdd) {
          unsigned char a = m_odd, b = static_cast<unsigned char>(data[i]);
          unit = utf16 == 1 ? (a | b << 8) : (a << 8 | b);
          m_haveOdd = false;
          ++i;
        } else if (i + 1 < size) {
          auto a = static_cast<unsigned char>(data[i]), b = static_cast<unsigned char>(data[i + 1]);
          unit = utf16 == 1 ? (a | b << 8) : (a << 8 | b);
          i += 2;
        } else {
          m_odd = static_cast<unsigned char>(data[i]);
          m_haveOdd = true;
          ++i;
          continue;
        }
      } else {
        unit = static_cast<unsigned char>(data[i++]);
      }
      Unit(unit, utf16 != 0);
    }
  }
  void Finish(bool utf16) {
    if (!m_units.empty() && !Full()) EndLine(utf16);
  }

 private:
  void Unit(uint32_t unit, bool utf16) {
    if (unit == '\r' || unit == '\n') {
      // The second half of a CR LF or LF CR pair ends nothing.
      if (m_lastEnd && m_lastEnd != unit) {
        m_lastEnd = 0;
        return;
      }
      EndLine(utf16);
      m_lastEnd = unit;
      return;
    }
    m_lastEnd = 0;
    if (m_units.size() < kPreviewLineUnits) m_units.push_back(unit);
  }
  void EndLine(bool utf16) {
    if (utf16) {
      std::vector<uint16_t> units(m_units.begin(), m_units.end());
      m_out.push_back(tolvek::Utf16LeToUtf8(units.data(), units.size()));
    } else {
      m_out.push_back(TextOfLine(std::string(m_units.begin(), m_units.end())));
    }
    m_units.clear();
    ++m_count;
  }

  int m_max;
  std::vector<std::string>& m_out;
  int m_count = 0;
  std::vector<uint32_t> m_units;
  uint32_t m_lastEnd = 0;
  unsigned char m_odd = 0;
  bool m_haveOdd = false;
};

// The byte-order mark's encoding (0 none or UTF-8, 1 UTF-16LE, 2 UTF-16BE) and its length.
int DetectEncoding(const char* data, size_t size, size_t& skip) {
  auto at = [&](size_t i) { return i < size ? static_cast<unsigned char>(data[i]) : 0x100; };
  skip = 0;
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    skip = 3;
    return 0;
  }
  if (at(0) == 0xFF && at(1) == 0xFE) {
    skip = 2;
    return 1;
  }
  if (at(0) == 0xFE && at(1) == 0xFF) {
    skip = 2;
    return 2;
  }
  return 0;
}

void AddNote(std::vector<std::string>& lines, int maxLines, int taken, const std::string& note) {
  if (!note.empty() && (maxLines == 0 || taken == maxLines)) lines.push_back(note);
}

}  // namespace

int OpenSourceFile(const std::string& path, bool followLinks) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW));
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SourceExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::vector<std::string> FilePreview(const std::string& path, int maxLines,
                                     const std::string& note) {
  std::vector<std::string> lines;
  int taken = 0;
  if (maxLines != 0) {
    int fd = OpenSourceFile(path, true);
    if (fd >= 0) {
      LineSplitter split(maxLines, lines);
      std::vector<char> buffer(kChunk);
      size_t total = 0;
      int encoding = -1;
      while (!split.Full() && total < kPreviewReadLimit) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size_t skip = 0;
        if (encoding < 0) encoding = DetectEncoding(buffer.data(), static_cast<size_t>(n), skip);
        split.Feed(buffer.data() + skip, static_cast<size_t>(n) - skip, encoding);
        total += static_cast<size_t>(n);
      }
      split.Finish(encoding > 0);
      taken = split.Count();
      ::close(fd);
    }
  }
  AddNote(lines, maxLines, taken, note);
  return lines;
}

std::vector<std::string> TextPreview(std::string_view bytes, int maxLines,
                                     const std::string& note) {
  std::vector<std::string> lines;
  LineSplitter split(maxLines, lines);
  size_t skip = 0;
  int encoding = DetectEncoding(bytes.data(), bytes.size(), skip);
  split.Feed(bytes.data() + skip, bytes.size() - skip, encoding);
  split.Finish(encoding > 0);
  AddNote(lines, maxLines, split.Count(), note);
  return lines;
}

std::string SystemName() {
  struct utsname names;
  if (uname(&names) != 0 || std::strcmp(names.sysname, "Linux") != 0) return "Other";
  int major = 0, minor = 0;
  std::sscanf(names.release, "%d.%d", &major, &minor);
  if (major == 2 && (minor == 2 || minor == 4 || minor == 6)) {
    return "Linux 2_" + std::to_string(minor);
  }
  return major > 2 ? "Linux Future" : "Other";
}

std::vector<std::string> DescriptionHead() {
#if defined(__x86_64__)
  std::string architecture = "x64";
#else
  struct utsname names;
  std::string architecture = uname(&names) == 0 ? names.machine : "unknown";
#endif
  return {"Version: 1.2 (Build " + std::to_string(kBuildNumber) + "u)", "OS: " + SystemName(),
          "Architecture: " + architecture, "----"};
}

namespace {

std::string SharedFolderName() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder + "lumivex-bugreport-" + std::to_string(getuid());
}

// Somebody else's folder, one that others may enter, or a link planted in its place would
// let them take or swap what the report holds.
bool OursAlone(const std::string& folder) {
  struct stat st;
  return lstat(folder.c_str(), &st) == 0 &&
         tolvek::OwnedAlone(st, tolvek::PathKind::Folder, 077, false);
}

}  // namespace

std::string BugReportFolder() {
  std::string shared = SharedFolderName();
  if ((::mkdir(shared.c_str(), 0700) == 0 || errno == EEXIST) && OursAlone(shared)) {
    return shared + "/";
  }
  // The usual name is taken: a fresh folder of our own, which the confirmation names.
  std::string fresh = shared + "-XXXXXX";
  if (!mkdtemp(fresh.data())) return "";
  return fresh + "/";
}

void RemoveBugReportArchive() {
  std::string shared = SharedFolderName();
  if (OursAlone(shared)) ::unlink((shared + "/" + kBugReportArchive).c_str());
  RemoveFreshBugReportFolders();
}

void RemoveFreshBugReportFolders() {
  std::string shared = SharedFolderName();
  size_t slash = shared.rfind('/');
  std::string parent = shared.substr(0, slash + 1);
  // mkdtemp's names: the usual one, "-" and six characters.
  std::string start = shared.substr(slash + 1) + "-";
  DIR* dir = ::opendir(parent.c_str());
  if (!dir) return;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() != start.size() + 6 || name.compare(0, start.size(), start) != 0) continue;
    std::string folder = parent + name;
    // Only a folder nobody else could have made or filled; one that holds more than an
    // archive (a report being written now) stays.
    if (!OursAlone(folder)) continue;
    ::unlink((folder + "/" + kBugReportArchive).c_str());
    ::rmdir(folder.c_str());
  }
  ::closedir(dir);
}

// ------------------------------------------------------------------------------ the archive
ZipArchive::ZipArchive(const std::string& folder) : m_final(folder + kBugReportArchive) {
  m_part = m_final + "." + std::to_string(getpid()) + ".part";
  ::unlink(m_part.c_str());  // a leftover of ours; the folder is nobody else's
  m_fd = ::open(m_part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (m_fd < 0) {
    Fail(std::string("cannot create ") + m_part + ": " + std::strerror(errno));
    return;
  }
  m_archive = archive_write_new();
  if (!m_archive || archive_write_set_format_zip(m_archive) != ARCHIVE_OK ||
      archive_write_open_fd(m_archive, m_fd) != ARCHIVE_OK) {
    Fail(m_archive ? archive_error_string(m_archive) : "no archive writer");
  }
}

ZipArchive::~ZipArchive() {
  if (m_archive) archive_write_free(m_archive);
  if (m_fd >= 0) ::close(m_fd);
  if (!m_kept) ::unlink(m_part.c_str());
}

void ZipArchive::Fail(const std::string& what) {
  if (m_error.empty()) m_error = what.empty() ? "unknown error" : what;
}

bool ZipArchive::Header(const std::string& member, int64_t size) {
  if (!m_error.empty()) return false;
  archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, member.c_str());
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0644);
  archive_entry_set_size(entry, size);
  archive_entry_set_mtime(entry, std::time(nullptr), 0);
  bool ok = archive_write_header(m_archive, entry) == ARCHIVE_OK;
  archive_entry_free(entry);
  if (!ok) Fail(archive_error_string(m_archive) ? archive_error_string(m_archive) : member);
  return ok;
}

bool ZipArchive::Data(const char* data, size_t size) {
  while (size > 0 && m_error.empty()) {
    la_ssize_t n = archive_write_data(m_archive, data, size);
    if (n <= 0) {
      Fail(archive_error_string(m_archive) ? archive_error_string(m_archive) : "write failed");
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return m_error.empty();
}

void ZipArchive::AddBytes(const std::string& member, std::string_view bytes) {
  if (Header(member, static_cast<int64_t>(bytes.size()))) Data(bytes.data(), bytes.size());
}

void ZipArchive::AddFile(const std::string& member, const std::string& path, bool followLinks) {
  int fd = OpenSourceFile(path, followLinks);
  if (fd < 0) return;  // listed, but not in the archive
  struct stat st;
  fstat(fd, &st);
  int64_t size = st.st_size;
  if (Header(member, size)) {
    std::vector<char> buffer(kChunk);
    int64_t done = 0;
    while (done < size && m_error.empty()) {
      size_t want = static_cast<size_t>(std::min<int64_t>(size - done, kChunk));
      ssize_t n = ::read(fd, buffer.data(), want);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // The file shrank while it was read: the member keeps its announced size.
        std::fill(buffer.begin(), buffer.end(), '\0');
        n = static_cast<ssize_t>(want);
      }
      Data(buffer.data(), static_cast<size_t>(n));
      done += n;
    }
  }
  ::close(fd);
}

bool ZipArchive::Keep() {
  if (m_error.empty() && archive_write_close(m_archive) != ARCHIVE_OK) {
    Fail(archive_error_string(m_archive) ? archive_error_string(m_archive) : "close failed");
  }
  if (m_error.empty() && ::fsync(m_fd) != 0) Fail(std::strerror(errno));
  if (m_error.empty() && ::close(m_fd) != 0) Fail(std::strerror(errno));
  m_fd = -1;
  // rename replaces whatever is at the name, a link included, and never writes through it.
  if (m_error.empty() && ::rename(m_part.c_str(), m_final.c_str()) != 0) {
    Fail(std::string("cannot create ") + m_final + ": " + std::strerror(errno));
  }
  m_kept = m_error.empty();
  return m_kept;
}

}  // namespace workbench
