// The bug report's files: sources opened safely, previews and the zip archive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct archive;

namespace workbench {

// A source opened for reading: a regular file only (never a FIFO or device that would
// block); with followLinks false a link at the path is refused. -1 when refused.
int OpenSourceFile(const std::string& path, bool followLinks);
// A file "exists" for the report when its size can be read; an empty one counts.
bool SourceExists(const std::string& path);

// The preview of text held in memory, as FilePreview does it for a file.
std::vector<std::string> TextPreview(std::string_view bytes, int maxLines, const std::string& note);

// "Linux 2_6", "Linux Future", "Other", ...
std::string SystemName();

// The archive in the report folder, written under a name of its own and renamed over
// kBugReportArchive only when complete; dropped unless kept.
class ZipArchive {
 public:
  explicit ZipArchive(const std::string& folder);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  void AddBytes(const std::string& member, std::string_view bytes);
  // A source that cannot be opened is left out without a word.
  void AddFile(const std::string& member, const std::string& path, bool followLinks);
  // Completes the archive and puts it in place; false (with Error()) when anything failed.
  bool Keep();
  const std::string& Error() const { return m_error; }
  const std::string& Path() const { return m_final; }

 private:
  void Fail(const std::string& what);
  bool Header(const std::string& member, int64_t size);
  bool Data(const char* data, size_t size);

  std::string m_final, m_part, m_error;
  int m_fd = -1;
  ::archive* m_archive = nullptr;
  bool m_kept = false;
};

}  // namespace workbench
