#include "evtweave/procmon_csv.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "evtweave/console_output.h"
#include "tolvek/text_codec.h"

namespace evtweave {
namespace {

constexpr std::array<std::string_view, 8> kRequiredColumns = {
    "time of day", "process name", "pid", "operation", "path", "result", "detail", "tid"};
enum Column { kTime, kName, kPid, kOperation, kPath, kResult, kDetail, kTid, kColumnCount };

// One physical line: [begin, end) and what ended it.
struct PhysicalLine {
  size_t m_begin = 0;
  size_t m_end = 0;
  size_t m_next = 0;
  bool m_loneCr = false;
};

// Line ends as the memory-string reader knows them: CR LF, LF CR, LF, CR.
PhysicalLine NextLine(std::string_view text, size_t pos) {
  PhysicalLine line;
  line.m_begin = pos;
  const char* base = text.data();
  size_t n = text.size();
  size_t i = pos;
  while (i < n && base[i] != '\r' && base[i] != '\n') {
    const void* hit = std::memchr(base + i, '\n', n - i);
    size_t lf = hit ? static_cast<const char*>(hit) - base : n;
    const void* cr = std::memchr(base + i, '\r', lf - i);
    i = cr ? static_cast<const char*>(cr) - base : lf;
  }
  line.m_end = i;
  if (i >= n) {
    line.m_next = n;
  } else if (base[i] == '\r') {
    bool lf = i + 1 < n && base[i + 1] == '\n';
    line.m_loneCr = !lf;
    line.m_next = i + (lf ? 2 : 1);
  } else {
    line.m_next = i + ((i + 1 < n && base[i + 1] == '\r') ? 2 : 1);
  }
  return line;
}

// The high bit of each byte of word that equals c (exact: no carries cross bytes).
inline uint64_t BytesEqual(uint64_t word, char c) {
  constexpr uint64_t kLow = 0x7F7F7F7F7F7F7F7FULL;
  uint64_t x = word ^ (0x0101010101010101ULL * static_cast<unsigned char>(c));
  return ~(((x & kLow) + kLow) | x | kLow);
}

// Counts quotes to know whether a record goes on past this line's end; eight bytes at a
// time, since every byte of a multi-gigabyte log passes through here. Only the parity
// matters, and the parity of the marks' XOR is that of their sum.
bool TogglesQuotes(std::string_view text, bool inQuotes) {
  const char* p = text.data();
  size_t n = text.size();
  size_t i = 0;
  uint64_t marks = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    marks ^= BytesEqual(word, '"');
  }
  bool odd = __builtin_parityll(marks);
  for (; i < n; ++i) odd ^= p[i] == '"';
  return inQuotes != odd;
}

// Appends one field's text with the protections later stages rely on: code 1 and the
// apostrophe become their "_0x.._" forms (the apostrophe is the DOT working quote), and so
// does NUL, which Graphviz takes for the end of its input.
void AppendProtected(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\0') {
      out.append("_0x00_");
    } else if (c == '\x01') {
      out.append("_0x01_");
    } else if (c == '\'') {
      out.append("_0x27_");
    } else {
      out.push_back(c);
    }
  }
}

// True when text holds NUL, code 1, an apostrophe or a quote; eight bytes at a time, as
// this looks at every byte of every field.
bool NeedsProtection(std::string_view text) {
  const char* p = text.data();
  size_t n = text.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (BytesEqual(word, '\0') | BytesEqual(word, '\x01') | BytesEqual(word, '\'') |
        BytesEqual(word, '"')) {
      return true;
    }
  }
  for (; i < n; ++i) {
    if (p[i] == '\0' || p[i] == '\x01' || p[i] == '\'' || p[i] == '"') return true;
  }
  return false;
}

// Splits one record into its fields: a quoted field ends at its closing quote (a doubled
// quote inside is one quote; text between the closing quote and the next comma is kept),
// an unquoted one at the next comma. Fields that need no change stay views into record.
class RecordSplitter {
 public:
  RecordSplitter(std::string_view record, TextArena& arena, std::string& scratch)
      : m_record(record), m_arena(arena), m_scratch(scratch) {}

  // keep: whether the caller uses the field; one it skips is not rewritten.
  bool Next(std::string_view& field, bool keep) {
    if (m_pos > m_record.size() || m_done) return false;
    size_t i = m_pos;
    size_t n = m_record.size();
    std::string_view raw;
    bool quoted = i < n && m_record[i] == '"';
    if (!quoted) {
      size_t comma = m_record.find(',', i);
      size_t end = comma == std::string_view::npos ? n : comma;
      raw = m_record.substr(i, end - i);
      m_done = comma == std::string_view::npos;
      m_pos = end + 1;
      field = keep ? Finish(raw, false) : raw;
      return true;
    }
    // Quoted: find the closing quote, stepping over doubled quotes.
    size_t j = i + 1;
    bool doubled = false;
    size_t close = n;
    while (j < n) {
      size_t q = m_record.find('"', j);
      if (q == std::string_view::npos) break;
      if (q + 1 < n && m_record[q + 1] == '"') {
        doubled = true;
        j = q + 2;
        continue;
      }
      close = q;
      break;
    }
    std::string_view inner = m_record.substr(i + 1, close - (i + 1));
    size_t comma = close >= n ? std::string_view::npos : m_record.find(',', close + 1);
    std::string_view tail;
    if (close < n) {
      size_t tailEnd = comma == std::string_view::npos ? n : comma;
      tail = m_record.substr(close + 1, tailEnd - close - 1);
    }
    m_done = comma == std::string_view::npos;
    m_pos = m_done ? n + 1 : comma + 1;
    if (tail.empty()) {
      field = keep ? Finish(inner, doubled) : inner;
      return true;
    }
    if (!keep) return true;
    std::string joined(inner);
    joined.append(tail);
    field = Finish(m_arena.Store(joined), true);
    return true;
  }

 private:
  std::string_view Finish(std::string_view raw, bool mayHaveQuotes) {
    if (!NeedsProtection(raw)) return raw;
    std::string& out = m_scratch;
    out.clear();
    for (size_t k = 0; k < raw.size(); ++k) {
      char c = raw[k];
      if (c == '"' && mayHaveQuotes && k + 1 < raw.size() && raw[k + 1] == '"') {
        out.push_back('"');
        ++k;
      } else if (c == '\0' || c == '\x01' || c == '\'') {
        AppendProtected(out, std::string_view(&raw[k], 1));
      } else {
        out.push_back(c);
      }
    }
    return m_arena.Store(out);
  }

  std::string_view m_record;
  TextArena& m_arena;
  std::string& m_scratch;
  size_t m_pos = 0;
  bool m_done = false;
};

std::string_view TrimPath(std::string_view path) {
  path = TrimBlanks(path);
  while (!path.empty() && path.back() == '.') path.remove_suffix(1);
  return path;
}

bool IsDrivePath(std::string_view path) {
  return path.size() >= 3 && path.substr(1, 2) == ":\\";
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out.append("\\u00");
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

// Valid UTF-8 throughout, checked in slices on several threads: a log of gigabytes would
// otherwise wait a whole pass over memory for this answer before its reading starts.
bool IsValidUtf8InSlices(std::string_view text) {
  constexpr size_t kSlice = 8 << 20;
  size_t threads =
      std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), text.size() / kSlice + 1);
  if (threads <= 1) return tolvek::IsValidUtf8(text);
  // Each slice begins where a character begins, so none cuts a sequence in two; a sequence
  // left short at a slice's end is invalid in the whole text as well.
  std::vector<size_t> bounds{0};
  for (size_t i = 1; i < threads; ++i) {
    size_t at = text.size() / threads * i;
    while (at > bounds.back() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    bounds.push_back(at);
  }
  bounds.push_back(text.size());
  std::vector<char> valid(threads, 0);
  std::vector<std::thread> workers;
  auto check = [&](size_t i) {
    valid[i] = tolvek::IsValidUtf8(text.substr(bounds[i], bounds[i + 1] - bounds[i]));
  };
  for (size_t i = 1; i < threads; ++i) {
    try {
      workers.emplace_back(check, i);
    } catch (const std::system_error&) {
      check(i);  // no thread to be had: this slice is checked here
    }
  }
  check(0);
  for (std::thread& worker : workers) worker.join();
  return std::all_of(valid.begin(), valid.end(), [](char v) { return v != 0; });
}

// Faults the pages of a vector's reserved room in on another thread, while the owner fills
// it: millions of rows would otherwise take each page fault on the reading thread. Joined
// before the vector may move (Stop) and at the latest when it goes out of scope.
class RoomPrefault {
 public:
  template <class T>
  explicit RoomPrefault(const std::vector<T>& rows) {
    constexpr size_t kMinimum = 64 << 20;  // smaller vectors fault in quickly enough
    uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    uintptr_t begin = reinterpret_cast<uintptr_t>(rows.data());
    uintptr_t end = begin + rows.capacity() * sizeof(T);
    begin = (begin + page - 1) & ~(page - 1);
    end &= ~(page - 1);
    if (end <= begin || end - begin < kMinimum) return;
    try {
      m_thread = std::thread([begin, end] {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
      });
    } catch (const std::system_error&) {
      // No thread: the reading thread takes the faults itself.
    }
  }
  ~RoomPrefault() { Stop(); }
  void Stop() {
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  std::thread m_thread;
};

}  // namespace

size_t PlainUtf8Start(std::string_view bytes) {
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) {
    return IsValidUtf8InSlices(bytes.substr(3)) ? 3 : std::string_view::npos;
  }
  if (bytes.size() >= 2 && ((u(0) == 0xFF && u(1) == 0xFE) || (u(0) == 0xFE && u(1) == 0xFF) ||
                            (u(0) != 0 && u(1) == 0))) {
    return std::string_view::npos;  // UTF-16
  }
  return IsValidUtf8InSlices(bytes) ? 0 : std::string_view::npos;
}

std::string DecodeLogText(std::string bytes) {
  size_t start = PlainUtf8Start(bytes);
  if (start != std::string_view::npos) {
    bytes.erase(0, start);
    return bytes;
  }
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) {
    return tolvek::SanitizeUtf8(std::string_view(bytes).substr(3));
  }
  bool le = bytes.size() >= 2 && u(0) == 0xFF && u(1) == 0xFE;
  bool be = bytes.size() >= 2 && u(0) == 0xFE && u(1) == 0xFF;
  bool bareLe = !le && !be && bytes.size() >= 2 && u(0) != 0 && u(1) == 0;
  if (le || be || bareLe) {
    size_t skip = (le || be) ? 2 : 0;
    size_t units = (bytes.size() - skip) / 2;
    if (be) {
      for (size_t i = skip; i + 1 < skip + units * 2; i += 2) std::swap(bytes[i], bytes[i + 1]);
    }
    return tolvek::Utf16LeToUtf8(bytes.data() + skip, units);
  }
  return tolvek::AnsiToUtf8(bytes);
}

Op OperationCode(std::string_view op) {
  static const std::unordered_map<std::string_view, Op> kCodes = {
      {"Process Create", Op::kProcessCreate},
      {"Process Start", Op::kProcessStart},
      {"Process Exit", Op::kProcessExit},
      {"Thread Create", Op::kThreadCreate},
      {"Thread Exit", Op::kThreadExit},
      {"CreateFile", Op::kCreateFile},
      {"SetDispositionInformationFile", Op::kSetDispositionInformationFile},
      {"SetRenameInformationFile", Op::kSetRenameInformationFile},
      {"Load Image", Op::kLoadImage},
      {"ReadFile", Op::kReadFile},
      {"WriteFile", Op::kWriteFile},
      {"RegQueryValue", Op::kRegQueryValue},
      {"RegSetValue", Op::kRegSetValue},
  };
  auto it = kCodes.find(op);
  if (it != kCodes.end()) return it->second;
  if (op.substr(0, 4) == "TCP " || op.substr(0, 4) == "UDP ") return Op::kNetwork;
  return Op::kOther;
}

CsvReadResult ReadProcmonCsv() {
  CsvState& csv = State().csv;
  const Options& options = State().options;
  std::string_view text = csv.m_text;
  PrintProgress("Collecting Procmon data ...");

  csv.ColumnIndex.clear();
  for (std::string_view name : kRequiredColumns) csv.ColumnIndex[std::string(name)] = 0;
  PhysicalLine header = NextLine(text, 0);
  std::string names = AsciiLowerCase(text.substr(header.m_begin, header.m_end - header.m_begin));
  std::erase(names, '"');
  for (size_t start = 0, position = 1;; ++position) {
    size_t comma = names.find(',', start);
    csv.ColumnIndex[names.substr(start,
                                 comma == std::string::npos ? std::string::npos : comma - start)] =
        static_cast<int>(position);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::array<int, kColumnCount> position{};
  int lastNeeded = 0;
  for (int c = 0; c < kColumnCount; ++c) {
    position[c] = csv.ColumnIndex[std::string(kRequiredColumns[c])];
    if (position[c] == 0) return CsvReadResult::kUnknownFormat;
    lastNeeded = std::max(lastNeeded, position[c]);
  }
  // Field position -> column, for the fields the rows keep.
  std::vector<int> columnAt(lastNeeded + 1, -1);
  for (int c = 0; c < kColumnCount; ++c) columnAt[position[c]] = c;

  csv.m_success = csv.m_strings.Intern("SUCCESS");
  // Room for every row at once, judged from the line feeds of the first megabyte: growing a
  // vector of millions of rows would copy them over and over and, at each growth, hold them
  // twice. Counting every line feed instead would cost a pass over the whole log.
  {
    std::string_view sample = text.substr(header.m_next, 1 << 20);
    size_t lineFeeds = 0;
    for (const char* p = sample.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', sample.data() + sample.size() - p))) !=
         nullptr;
         ++p) {
      ++lineFeeds;
    }
    double perByte = sample.empty() ? 0.0 : static_cast<double>(lineFeeds) / sample.size();
    size_t estimate = static_cast<size_t>(perByte * 1.1 * (text.size() - header.m_next));
    // A first megabyte of bare line feeds must not claim memory for a hundred times the
    // log; past this bound the vector grows as usual.
    csv.ProcmonRows.reserve(std::min(estimate, text.size() / 128) + 16);
  }
  std::vector<Op> opCodes;  // by interned operation id
  int64_t lineCounter = 1;
  size_t pos = header.m_next;
  RoomPrefault prefault(csv.ProcmonRows);
  std::string joined;
  std::string scratch;  // a rewritten field, before the arena keeps it
  while (pos < text.size()) {
    int64_t recordStart = lineCounter + 1;
    // A record ends at a line break outside quotes; its physical lines are joined.
    PhysicalLine line = NextLine(text, pos);
    std::string_view first = text.substr(line.m_begin, line.m_end - line.m_begin);
    bool inQuotes = TogglesQuotes(first, false);
    std::string_view record = first;
    int physicalLines = 1;
    if (!line.m_loneCr) ++lineCounter;
    pos = line.m_next;
    if (inQuotes) {
      joined.assign(first);
      while (inQuotes && pos < text.size()) {
        line = NextLine(text, pos);
        std::string_view more = text.substr(line.m_begin, line.m_end - line.m_begin);
        joined.append(more);
        inQuotes = TogglesQuotes(more, inQuotes);
        if (!line.m_loneCr) ++lineCounter;
        pos = line.m_next;
        ++physicalLines;
      }
      if (inQuotes) {
        // An unfinished last line (a cut-off export) is dropped; a quote left open over
        // several lines means the file is not the quoted CSV the reader understands.
        if (physicalLines > 1) return CsvReadResult::kUnknownFormat;
        break;
      }
      record = csv.m_arena.Store(joined);
    }
    if (record.size() >= 2 && record[0] == '"' && record[1] == '"') --lineCounter;
    if (record.empty()) continue;
    if (record[0] != '"') return CsvReadResult::kUnknownFormat;
    if (options.forceascii) {
      record = csv.m_arena.Store(tolvek::AnsiToUtf8(tolvek::Utf8ToAnsi(record)));
    }

    std::array<std::string_view, kColumnCount> fields{};
    RecordSplitter splitter(record, csv.m_arena, scratch);
    std::string_view field;
    for (int index = 1; index <= lastNeeded && splitter.Next(field, columnAt[index] >= 0);
         ++index) {
      if (columnAt[index] >= 0) fields[columnAt[index]] = field;
    }
    ProcmonRow row;
    row.OriginalLineNumber = recordStart;
    row.TimeOfDay = fields[kTime];
    row.ProcessName = csv.m_strings.Intern(fields[kName]);
    row.Operation = csv.m_strings.Intern(fields[kOperation]);
    if (row.Operation >= opCodes.size()) opCodes.resize(row.Operation + 1, Op::kOther);
    row.m_op = opCodes[row.Operation] = OperationCode(fields[kOperation]);
    row.Result = csv.m_strings.Intern(fields[kResult]);
    row.Detail = fields[kDetail];
    row.m_loggedPid = csv.m_strings.Intern(fields[kPid]);
    row.m_loggedTid = csv.m_strings.Intern(fields[kTid]);
    row.FullPath = TrimPath(fields[kPath]);
    if (IsDrivePath(row.FullPath)) {
      static thread_local std::string lower;
      LowerCaseInto(row.FullPath, lower);
      if (!csv.m_longPathSet.contains(lower)) {
        std::string_view stored = csv.m_arena.Store(lower);
        csv.m_longPathSet.insert(stored);
        csv.LongPaths.push_back(stored);
      }
    }
    if (csv.ProcmonRows.size() == csv.ProcmonRows.capacity()) prefault.Stop();
    csv.ProcmonRows.push_back(row);
  }
  PrintProgress("    " + std::to_string(csv.ProcmonRows.size()) + " lines");
  return CsvReadResult::kOk;
}

std::string RowAsJson(const ProcmonRow& row) {
  const EntityState& entities = State().entities;
  std::string pid(Text(row.m_loggedPid));
  std::string tid(Text(row.m_loggedTid));
  if (row.PID != kNoIndex) pid = entities.Processes[row.PID].Key;
  if (row.TID != kNoIndex) tid = entities.m_threadKeys[row.TID];
  std::string out = "{\n  \"OriginalLineNumber\": " + std::to_string(row.OriginalLineNumber);
  auto member = [&](std::string_view name, std::string_view value) {
    out.append(",\n  \"");
    out.append(name);
    out.append("\": ");
    AppendJsonString(out, value);
  };
  member("TimeOfDay", row.TimeOfDay);
  member("ProcessName", Text(row.ProcessName));
  member("PID", pid);
  member("Operation", Text(row.Operation));
  member("FullPath", row.FullPath);
  member("Result", Text(row.Result));
  member("Detail", row.Detail);
  member("TID", tid);
  out.append("\n}");
  return out;
}

}  // namespace evtweave
