#include "evtweave/procmon_csv.h"

#include <sched.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

#include "evtweave/console_output.h"
#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"
#include "tolvek/threads.h"

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

// A field's text as the rows keep it: doubled quotes made one (when it was quoted) and the
// protections AppendProtected gives. A field that needs neither stays a view into raw.
std::string_view ProtectField(std::string_view raw, bool mayHaveQuotes, TextArena& arena,
                              std::string& scratch) {
  if (!NeedsProtection(raw)) return raw;
  scratch.clear();
  for (size_t k = 0; k < raw.size(); ++k) {
    char c = raw[k];
    if (c == '"' && mayHaveQuotes && k + 1 < raw.size() && raw[k + 1] == '"') {
      scratch.push_back('"');
      ++k;
    } else if (c == '\0' || c == '\x01' || c == '\'') {
      AppendProtected(scratch, std::string_view(&raw[k], 1));
    } else {
      scratch.push_back(c);
    }
  }
  return arena.Store(scratch);
}

// Where the quotes of line are, sixteen bytes at a time: a record is its quotes' business
// (fields, and whether it goes on past the line's end), and a log has millions of them.
void FindQuotes(std::string_view line, std::vector<uint32_t>& at) {
  at.clear();
  const char* p = line.data();
  size_t n = line.size();
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  for (; i + 16 <= n; i += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)));
         mask != 0; mask &= mask - 1) {
      at.push_back(static_cast<uint32_t>(i + __builtin_ctz(mask)));
    }
  }
#endif
  for (; i < n; ++i) {
    if (p[i] == '"') at.push_back(static_cast<uint32_t>(i));
  }
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
    return ProtectField(raw, mayHaveQuotes, m_arena, m_scratch);
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

// The processors this process may run on.
size_t UsableThreads() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
    return static_cast<size_t>(CPU_COUNT(&set));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

namespace detail {

void RunOnThreads(size_t count, const std::function<void(size_t)>& job) {
  std::atomic<size_t> next{0};
  std::atomic<bool> outOfMemory{false};
  // An exception may not leave a thread (that ends the program with no word of the cause);
  // a job that could not get its memory stops the others, and the run ends below with the
  // report of exhausted memory.
  auto work = [&] {
    TOLVEK_TRACE("RunOnThreads");
    try {
      for (size_t i; !outOfMemory && (i = next.fetch_add(1)) < count;) job(i);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
  };
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < std::min(UsableThreads(), count); ++i) {
    try {
      helpers.push_back(tolvek::StartThread(work));
    } catch (const std::system_error&) {
      break;
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (outOfMemory) tolvek::ReportError("Not enough memory available to read the log!", true);
}

bool IsValidUtf8InSlices(std::string_view text, size_t slices) {
  if (slices <= 1) return tolvek::IsValidUtf8(text);
  // Each slice begins where a character begins, so none cuts a sequence in two; a sequence
  // left short at a slice's end is invalid in the whole text as well.
  std::vector<size_t> bounds{0};
  for (size_t i = 1; i < slices; ++i) {
    size_t at = text.size() / slices * i;
    while (at > bounds.back() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    bounds.push_back(at);
  }
  bounds.push_back(text.size());
  std::vector<char> valid(slices, 0);
  RunOnThreads(slices, [&](size_t i) {
    valid[i] = tolvek::IsValidUtf8(text.substr(bounds[i], bounds[i + 1] - bounds[i]));
  });
  return std::all_of(valid.begin(), valid.end(), [](char v) { return v != 0; });
}

}  // namespace detail

namespace {

using detail::RunOnThreads;

// Valid UTF-8 throughout, checked in slices on several threads: a log of gigabytes would
// otherwise wait a whole pass over memory for this answer before its reading starts.
bool IsValidUtf8InSlices(std::string_view text) {
  constexpr size_t kSlice = 8 << 20;
  return detail::IsValidUtf8InSlices(text, std::min(UsableThreads(), text.size() / kSlice + 1));
}

// Rows a stretch text[begin, end) will likely give, judged from the line feeds of its first
// 64 KiB with a margin: its block then rarely has to grow.
size_t EstimateRows(std::string_view text, size_t begin, size_t end) {
  size_t sample = std::min<size_t>(end - begin, 64 << 10);
  size_t lineFeeds = 0;
  const char* p = text.data() + begin;
  for (const char* stop = p + sample;
       (p = static_cast<const char*>(std::memchr(p, '\n', stop - p))) != nullptr; ++p) {
    ++lineFeeds;
  }
  if (sample == 0) return 16;
  return static_cast<size_t>(static_cast<double>(lineFeeds) * (end - begin) / sample * 1.25) + 16;
}

// Where the header puts the fields the rows keep.
struct Layout {
  int lastNeeded = 0;
  std::vector<int> columnAt;  // field position -> column, -1 for fields not kept
};

Op OperationCode(std::string_view operation);

enum class SkipReason : uint8_t { kNotARecord, kOpenQuote };

// The records that begin in one stretch of the log, read on a thread of its own. Its rows
// go straight to its block of the row table, with text numbers of the stretch's own until
// the stretches are joined in log order.
struct Stretch {
  size_t m_begin = 0;  // where reading started
  size_t m_limit = 0;  // a record beginning before this belongs to the stretch
  size_t m_end = 0;    // after its last record
  RowTable::Block* m_rows = nullptr;
  int64_t m_lines = 0;  // lines counted, as the line numbers count them
  struct Skipped {
    int64_t m_line;  // as the stretch counts
    SkipReason m_reason;
  };
  std::vector<Skipped> m_skipped;  // records left out, told once the stretches are joined
  // Blank lines at the stretch's end that no record took (the first one's line, 0: none),
  // and whether its first row had nothing but blank lines before it in the stretch: that
  // row takes its number from blank lines at the end of the stretch before.
  int64_t m_pendingBlank = 0;
  bool m_onlyBlanks = true;
  bool m_firstRowOpen = false;
  TextInterner m_strings;
  TextArena m_arena;
  std::vector<Op> m_opCodes;                  // by operation text number
  std::vector<std::string_view> m_longPaths;  // lower-cased, in order of appearance
  std::unordered_set<std::string_view> m_longPathSet;
  std::vector<uint32_t> m_tableIds;  // text number -> the table's
  int64_t m_lineBase = 0;

  void Read(std::string_view text, size_t from, const Layout& layout, bool forceAscii);
  // quotes: where record's quotes are, when they are known.
  void Add(std::string_view record, int64_t line, const Layout& layout,
           const std::vector<uint32_t>* quotes);

  bool m_plainFields = false;  // every record through RecordSplitter (tests compare)
  std::vector<uint32_t> m_quotes;
  std::string m_joined;   // a record of several lines
  std::string m_scratch;  // a rewritten field, before the arena keeps it
  std::string m_lower;
};

// Blanks, tabs and the Ctrl-Z some tools put at a file's end: a line of nothing else holds
// no record.
bool IsBlankLine(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\x1A') return false;
  }
  return true;
}

void Stretch::Read(std::string_view text, size_t from, const Layout& layout, bool forceAscii) {
  m_begin = m_end = from;
  m_rows->Clear();
  m_lines = 0;
  m_skipped.clear();
  m_onlyBlanks = true;
  m_firstRowOpen = false;
  m_strings.Clear();
  m_opCodes.clear();
  m_longPaths.clear();
  m_longPathSet.clear();
  size_t pos = from;
  // Blank lines before a record: the record is numbered from the first of them, as if they
  // were the empty beginning of its first line.
  int64_t blankStart = 0;
  while (pos < m_limit) {
    int64_t ownStart = m_lines + 1;
    int64_t recordStart = blankStart ? blankStart : ownStart;
    // A record ends at a line break outside quotes; its physical lines are joined.
    PhysicalLine line = NextLine(text, pos);
    std::string_view first = text.substr(line.m_begin, line.m_end - line.m_begin);
    if (!line.m_loneCr) ++m_lines;
    pos = line.m_next;
    const size_t afterFirst = pos;
    const int64_t linesAfterFirst = m_lines;
    if (IsBlankLine(first)) {
      if (!blankStart) blankStart = ownStart;
      continue;
    }
    blankStart = 0;
    bool onlyBlanksBefore = m_onlyBlanks;
    m_onlyBlanks = false;
    // Every field of an export is quoted: a line that begins otherwise is no record of it,
    // and is not let to join the lines after it.
    if (first[0] != '"') {
      m_skipped.push_back({ownStart, SkipReason::kNotARecord});
      continue;
    }
    bool quotesKnown = first.size() <= UINT32_MAX;
    bool inQuotes;
    if (quotesKnown) {
      FindQuotes(first, m_quotes);
      inQuotes = (m_quotes.size() & 1) != 0;
    } else {
      inQuotes = TogglesQuotes(first, false);
    }
    std::string_view record = first;
    if (inQuotes) {
      m_joined.assign(first);
      while (inQuotes && pos < text.size()) {
        // The break inside the field stays, written out: a name or command line of two
        // lines must not read as another one of a single line.
        for (size_t b = line.m_end; b < line.m_next; ++b)
          m_joined.append(text[b] == '\r' ? "_0x0D_" : "_0x0A_");
        line = NextLine(text, pos);
        std::string_view more = text.substr(line.m_begin, line.m_end - line.m_begin);
        m_joined.append(more);
        inQuotes = TogglesQuotes(more, inQuotes);
        if (!line.m_loneCr) ++m_lines;
        pos = line.m_next;
      }
      if (inQuotes) {
        // The file ends inside the quote this record opened: the record goes, and the lines
        // it took are read again as records of their own.
        m_skipped.push_back({ownStart, SkipReason::kOpenQuote});
        pos = afterFirst;
        m_lines = linesAfterFirst;
        continue;
      }
      record = m_arena.Store(m_joined);
      quotesKnown = false;
    }
    if (record.size() >= 2 && record[0] == '"' && record[1] == '"') --m_lines;
    if (forceAscii) {
      record = m_arena.Store(tolvek::AnsiToUtf8(tolvek::Utf8ToAnsi(record)));
      quotesKnown = false;
    }
    if (m_rows->size() == 0) m_firstRowOpen = onlyBlanksBefore;
    Add(record, recordStart, layout, quotesKnown && !m_plainFields ? &m_quotes : nullptr);
  }
  m_pendingBlank = blankStart;
  m_end = pos;
}

// The fields of a record whose every field up to the last one needed is quoted without a
// quote inside: "a","b",... as exports write nearly all of them. False (nothing decided)
// for any other record, which RecordSplitter takes.
bool SplitQuotedRecord(std::string_view record, const std::vector<uint32_t>& quotes,
                       const Layout& layout, std::array<std::string_view, kColumnCount>& fields,
                       TextArena& arena, std::string& scratch) {
  size_t n = record.size();
  if (quotes.empty() || quotes[0] != 0) return false;
  std::array<std::string_view, kColumnCount> found{};
  size_t q = 0;
  for (int index = 1; index <= layout.lastNeeded; ++index, q += 2) {
    if (q + 1 >= quotes.size()) return false;
    size_t open = quotes[q];
    size_t close = quotes[q + 1];
    bool last = close + 1 == n;
    // Closed, then a comma and the next field's quote; or the record's end.
    if (!last &&
        (record[close + 1] != ',' || q + 2 >= quotes.size() || quotes[q + 2] != close + 2)) {
      return false;
    }
    int column = layout.columnAt[index];
    if (column >= 0) {
      found[column] =
          ProtectField(record.substr(open + 1, close - open - 1), false, arena, scratch);
    }
    if (last) break;
  }
  fields = found;
  return true;
}

void Stretch::Add(std::string_view record, int64_t line, const Layout& layout,
                  const std::vector<uint32_t>* quotes) {
  std::array<std::string_view, kColumnCount> fields{};
  if (quotes == nullptr ||
      !SplitQuotedRecord(record, *quotes, layout, fields, m_arena, m_scratch)) {
    RecordSplitter splitter(record, m_arena, m_scratch);
    std::string_view field;
    for (int index = 1;
         index <= layout.lastNeeded && splitter.Next(field, layout.columnAt[index] >= 0); ++index) {
      if (layout.columnAt[index] >= 0) fields[layout.columnAt[index]] = field;
    }
  }
  ProcmonRow row;
  row.OriginalLineNumber = line;
  row.TimeOfDay = fields[kTime];
  row.ProcessName = m_strings.Intern(fields[kName]);
  row.Operation = m_strings.Intern(fields[kOperation]);
  if (row.Operation >= m_opCodes.size()) m_opCodes.resize(row.Operation + 1, Op::kOther);
  row.m_op = m_opCodes[row.Operation] = OperationCode(fields[kOperation]);
  row.Result = m_strings.Intern(fields[kResult]);
  row.Detail = fields[kDetail];
  row.m_loggedPid = m_strings.Intern(fields[kPid]);
  row.m_loggedTid = m_strings.Intern(fields[kTid]);
  row.FullPath = TrimPath(fields[kPath]);
  row.m_pathFacts = PathFacts(row.FullPath);
  if (IsDrivePath(row.FullPath)) {
    LowerCaseInto(row.FullPath, m_lower);
    if (!m_longPathSet.contains(m_lower)) {
      std::string_view stored = m_arena.Store(m_lower);
      m_longPathSet.insert(stored);
      m_longPaths.push_back(stored);
    }
  }
  m_rows->Add(row);
}

}  // namespace

size_t Utf8Start(std::string_view bytes) {
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) return 3;
  if (bytes.size() >= 2 && ((u(0) == 0xFF && u(1) == 0xFE) || (u(0) == 0xFE && u(1) == 0xFF) ||
                            (u(0) != 0 && u(1) == 0))) {
    return std::string_view::npos;  // UTF-16
  }
  return 0;
}

namespace {

// Where the text begins in bytes that need no decoding (after a UTF-8 byte-order mark, else
// 0); npos when DecodeLogText has to convert them.
size_t PlainUtf8Start(std::string_view bytes) {
  size_t start = Utf8Start(bytes);
  if (start == std::string_view::npos) return start;
  return IsValidUtf8InSlices(bytes.substr(start)) ? start : std::string_view::npos;
}

}  // namespace

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

namespace {

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

}  // namespace

namespace {

// One reading of the whole text. valid turns false, and nothing is read, when text marked
// unchecked is not UTF-8.
CsvReadResult ReadRecords(size_t stretchBytes, bool plainFields, bool& valid) {
  CsvState& csv = State().csv;
  const Options& options = State().options;
  std::string_view text = csv.m_text;
  bool check = csv.m_text.Unchecked();
  csv.ColumnIndex.clear();
  csv.m_strings.Clear();
  csv.m_arena.Clear();
  csv.LongPaths.clear();
  csv.m_longPathSet.clear();
  csv.ProcmonRows.SetBlocks(0);

  PhysicalLine header = NextLine(text, 0);
  if (check && !tolvek::IsValidUtf8(text.substr(0, header.m_next))) {
    valid = false;
    return CsvReadResult::kOk;
  }
  for (std::string_view name : kRequiredColumns) csv.ColumnIndex[std::string(name)] = 0;
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
  Layout layout;
  for (int c = 0; c < kColumnCount; ++c) {
    position[c] = csv.ColumnIndex[std::string(kRequiredColumns[c])];
    if (position[c] == 0) return CsvReadResult::kUnknownFormat;
    layout.lastNeeded = std::max(layout.lastNeeded, position[c]);
  }
  layout.columnAt.assign(layout.lastNeeded + 1, -1);
  for (int c = 0; c < kColumnCount; ++c) layout.columnAt[position[c]] = c;
  csv.m_success = csv.m_strings.Intern("SUCCESS");

  // Stretches begin at line starts; one that begins inside a record of several lines is
  // read again below from where its predecessor really ended.
  size_t body = header.m_next;
  if (stretchBytes == 0) {
    stretchBytes = std::max<size_t>(4 << 20, (text.size() - body) / (UsableThreads() * 4) + 1);
  }
  std::vector<size_t> bounds{body};
  for (size_t at = body + stretchBytes; at < text.size(); at += stretchBytes) {
    if (at <= bounds.back()) continue;
    const void* lf = std::memchr(text.data() + at, '\n', text.size() - at);
    if (lf == nullptr) break;
    size_t next = static_cast<const char*>(lf) - text.data() + 1;
    // After a line feed, a carriage return ends the same line, unless one came before it.
    if (next < text.size() && text[next] == '\r' && text[next - 2] != '\r') ++next;
    if (next >= text.size()) break;
    bounds.push_back(at = next);
  }
  bounds.push_back(text.size());
  std::vector<Stretch> stretches(bounds.size() - 1);
  csv.ProcmonRows.SetBlocks(stretches.size());
  for (size_t i = 0; i < stretches.size(); ++i) {
    stretches[i].m_limit = bounds[i + 1];
    stretches[i].m_plainFields = plainFields;
    stretches[i].m_rows = &csv.ProcmonRows.block(i);
  }
  // Each stretch's bytes are checked (when they must be) by the thread that reads them next:
  // the pages of a mapped log come in once, and the checking of one stretch overlaps the
  // reading of another.
  std::vector<char> stretchValid(stretches.size(), 1);
  RunOnThreads(stretches.size(), [&](size_t i) {
    std::string_view bytes = text.substr(bounds[i], bounds[i + 1] - bounds[i]);
    if (check && !tolvek::IsValidUtf8(bytes)) {
      stretchValid[i] = 0;
      return;
    }
    stretches[i].m_rows->Reserve(EstimateRows(text, bounds[i], bounds[i + 1]));
    stretches[i].Read(text, bounds[i], layout, options.forceascii);
  });
  if (std::find(stretchValid.begin(), stretchValid.end(), 0) != stretchValid.end()) {
    csv.ProcmonRows.SetBlocks(0);
    valid = false;
    return CsvReadResult::kOk;
  }

  // Joined in log order: texts are numbered in order of first appearance, as one reading
  // from the top would number them.
  size_t expected = body;
  int64_t lines = 1;         // the header
  int64_t carriedBlank = 0;  // blank lines no record has taken yet, from the first one's line
  for (Stretch& stretch : stretches) {
    if (stretch.m_begin != expected) stretch.Read(text, expected, layout, options.forceascii);
    expected = stretch.m_end;
    for (const Stretch::Skipped& skipped : stretch.m_skipped) {
      std::string number = std::to_string(lines + skipped.m_line);
      PrintProgress(skipped.m_reason == SkipReason::kNotARecord
                        ? "Warning: Line " + number + " is not a quoted record; skipped."
                        : "Warning: The quote opened in line " + number +
                              " is still open at the end of the file; its record is skipped.");
    }
    stretch.m_tableIds.resize(stretch.m_strings.size());
    for (uint32_t id = 0; id < stretch.m_strings.size(); ++id) {
      stretch.m_tableIds[id] = csv.m_strings.Intern(stretch.m_strings.Text(id));
    }
    for (std::string_view path : stretch.m_longPaths) {
      if (csv.m_longPathSet.insert(path).second) csv.LongPaths.push_back(path);
    }
    stretch.m_lineBase = lines;
    if (carriedBlank && stretch.m_firstRowOpen) {
      stretch.m_rows->data()[0].OriginalLineNumber = carriedBlank - lines;
    }
    int64_t pending = stretch.m_pendingBlank ? lines + stretch.m_pendingBlank : 0;
    carriedBlank = stretch.m_onlyBlanks && carriedBlank ? carriedBlank : pending;
    lines += stretch.m_lines;
    csv.m_arena.Adopt(std::move(stretch.m_arena));
  }
  RunOnThreads(stretches.size(), [&](size_t i) {
    Stretch& stretch = stretches[i];
    ProcmonRow* rows = stretch.m_rows->data();
    for (ProcmonRow* row = rows; row != rows + stretch.m_rows->size(); ++row) {
      row->OriginalLineNumber += stretch.m_lineBase;
      row->ProcessName = stretch.m_tableIds[row->ProcessName];
      row->Operation = stretch.m_tableIds[row->Operation];
      row->Result = stretch.m_tableIds[row->Result];
      row->m_loggedPid = stretch.m_tableIds[row->m_loggedPid];
      row->m_loggedTid = stretch.m_tableIds[row->m_loggedTid];
    }
  });
  csv.ProcmonRows.Seal();
  return CsvReadResult::kOk;
}

}  // namespace

CsvReadResult ReadProcmonCsv(size_t stretchBytes, bool plainFields) {
  TOLVEK_TRACE("ReadProcmonCsv");
  CsvState& csv = State().csv;
  PrintProgress("Collecting Procmon data ...");
  bool valid = true;
  CsvReadResult result = ReadRecords(stretchBytes, plainFields, valid);
  if (!valid) {
    csv.m_text = DecodeLogText(std::string(csv.m_text.Whole()));
    result = ReadRecords(stretchBytes, plainFields, valid);
  }
  if (result == CsvReadResult::kOk) {
    PrintProgress("    " + std::to_string(csv.ProcmonRows.size()) + " lines");
  }
  return result;
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
