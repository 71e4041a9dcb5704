#include "evtweave/ignore_lists.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "evtweave/console_output.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "tolvek/text_codec.h"

namespace evtweave {
namespace {

// A list that is there but empty has the fingerprint of no bytes; a missing one, or a
// folder of that name, has none.
bool IsReadableFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool file = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return file;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// A line that holds nothing once asterisks and the expression prefix are gone is noise.
bool IsEmptyRule(std::string_view line) {
  std::string upper = UpperAscii(line);
  std::erase(upper, '*');
  return ReplaceAll(upper, "REGEX:", "").empty();
}

void AddRule(std::string_view line, IgnoreList& list) {
  std::string_view rawPattern = TrimBlanks(SplitField(line, '\t', 1));
  std::string pattern = LowerCase(rawPattern);
  std::string access = LowerCase(TrimBlanks(SplitField(line, '\t', 2)));
  if (access.empty()) access = "rw";
  IgnoreEntry entry;
  entry.Access = access;
  bool leading = !pattern.empty() && pattern.front() == '*';
  bool trailing = !pattern.empty() && pattern.back() == '*';
  auto stripLeading = [](std::string text) {
    text.erase(0, text.find_first_not_of('*') == std::string::npos ? text.size()
                                                                   : text.find_first_not_of('*'));
    return text;
  };
  auto stripTrailing = [](std::string text) {
    size_t last = text.find_last_not_of('*');
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
  };
  if (leading && trailing) {
    entry.Kind = kIgnoreContains;
    entry.Text = stripTrailing(stripLeading(pattern));
  } else if (trailing) {
    entry.Kind = kIgnoreStartsWith;
    entry.Text = stripTrailing(pattern);
  } else if (leading) {
    entry.Kind = kIgnoreEndsWith;
    entry.Text = stripLeading(pattern);
  } else if (pattern.compare(0, 6, "regex:") == 0) {
    // Compiled from the text as written: lower-casing it would turn classes such as \D, \S
    // and \W into their opposites. The names it is matched against are lower case.
    entry.Kind = kIgnoreRegex;
    entry.Regex = tolvek::CreateRegularExpression(rawPattern.substr(6), tolvek::kRegexCaseless);
    if (entry.Regex) entry.Regex->SetMatchLimit(kIgnoreMatchLimit);
    entry.m_rule = std::string(rawPattern);
  } else {
    entry.Kind = kIgnoreExact;
    entry.Text = pattern;
    list.ExactMap.insert_or_assign(pattern, std::move(entry));
    return;
  }
  list.PatternList.push_back(std::move(entry));
}

// An expression that backtracks without end would otherwise cost seconds per name, and a
// log asks about thousands of names.
bool RegexMatches(IgnoreEntry& entry, std::string_view name) {
  tolvek::Regex::Match match;
  bool limitHit = false;
  bool found = entry.Regex->Find(name, 0, match, limitHit);
  if (limitHit && !entry.m_limitReported) {
    entry.m_limitReported = true;
    PrintProgress("Warning: Ignore rule \"" + entry.m_rule +
                  "\" gave up on a name; names it gives up on are not ignored by it");
  }
  return found;
}

bool Matches(IgnoreEntry& entry, std::string_view name) {
  switch (entry.Kind) {
    case kIgnoreStartsWith:
      return name.substr(0, entry.Text.size()) == entry.Text;
    case kIgnoreEndsWith:
      return name.size() >= entry.Text.size() &&
             name.substr(name.size() - entry.Text.size()) == entry.Text;
    case kIgnoreContains:
      return !entry.Text.empty() && Contains(name, entry.Text);
    case kIgnoreRegex: {
      // The matcher takes its subject as valid UTF-8 unchecked, and a name cut from a hostile
      // log at a byte offset may not be: such a name is matched in its repaired form.
      if (!entry.Regex) return false;
      if (tolvek::IsValidUtf8(name)) return RegexMatches(entry, name);
      return RegexMatches(entry, tolvek::SanitizeUtf8(name));
    }
    default:
      return false;
  }
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 15]);
  }
  return out;
}

void LoadIgnoreFile(const std::string& fileName, IgnoreList& list) {
  tolvek::MemoryPtr block(tolvek::ReadFile2Memory(fileName));
  std::string_view bytes;
  if (block) {
    bytes = {static_cast<const char*>(block.get()),
             static_cast<size_t>(tolvek::MemorySize(block.get()))};
  }
  std::string md5 = block || IsReadableFile(fileName) ? Md5Hex(bytes) : std::string();
  PrintProgress("Loading ignore-file \"" + fileName + "\" ... MD5: " + md5);
  if (!block) return;
  const void* memory = block.get();
  // The workbench writes the lists as UTF-8 without a byte-order mark; only text that is not
  // valid UTF-8 is taken for the older single-byte form.
  int format = tolvek::kMemoryStringDefault;
  if (tolvek::DetectStringFormat4MemoryString(memory) == tolvek::kFormatAnsi &&
      tolvek::IsValidUtf8(bytes)) {
    format = tolvek::kFormatUtf8;
  }
  tolvek::OpenMemoryString(memory, tolvek::kMemoryStringDefault, format);
  while (!tolvek::EOM(memory)) {
    std::string line = tolvek::ReadMemoryString(memory);
    if (!line.empty() && line.front() == '#') continue;
    if (IsEmptyRule(line)) continue;
    AddRule(line, list);
  }
  tolvek::CloseMemoryString(memory);
}

void LoadIgnoreFiles() {
  TOLVEK_TRACE("LoadIgnoreFiles");
  IgnoreState& ignores = State().ignores;
  LoadIgnoreFile(std::string(kFileIgnores), ignores.Files);
  LoadIgnoreFile(std::string(kRegistryKeyIgnores), ignores.RegistryKeys);
  LoadIgnoreFile(std::string(kServerIgnores), ignores.Servers);
}

bool IsIgnored(std::string_view name, char access, IgnoreList& list) {
  if (list.Empty()) return false;
  TextMap<bool>& answers = access == 'r' ? list.m_answersRead : list.m_answersWrite;
  auto known = answers.find(name);
  if (known != answers.end()) return known->second;
  std::string lower = LowerCase(name);
  bool ignored = false;
  auto exact = list.ExactMap.find(lower);
  if (exact != list.ExactMap.end() &&
      Contains(exact->second.Access, std::string_view(&access, 1))) {
    ignored = true;
  }
  for (size_t i = 0; !ignored && i < list.PatternList.size(); ++i) {
    IgnoreEntry& entry = list.PatternList[i];
    ignored = Contains(entry.Access, std::string_view(&access, 1)) && Matches(entry, lower);
  }
  answers.emplace(std::string(name), ignored);
  return ignored;
}

}  // namespace evtweave
