#include "evtweave/capture_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <unordered_set>

#include "evtweave/console_output.h"
#include "evtweave/converter_state.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "tolvek/regex.h"

namespace evtweave {
namespace {

// A map that remembers the order of first insertion, so every walk over it is the same
// from run to run.
template <class Value>
struct OrderedMap {
  std::vector<std::pair<std::string, Value>> m_items;
  TextMap<size_t> m_index;

  Value* Find(std::string_view key) {
    auto it = m_index.find(key);
    return it == m_index.end() ? nullptr : &m_items[it->second].second;
  }
  void Set(std::string_view key, Value value) {
    auto [it, added] = m_index.try_emplace(std::string(key), m_items.size());
    if (added) {
      m_items.emplace_back(std::string(key), std::move(value));
    } else {
      m_items[it->second].second = std::move(value);
    }
  }
};

struct CaptureExpressions {
  std::unique_ptr<tolvek::Regex> m_ipv4;
  // A recursive A query: "<id>+ A? <name>", EDNS markers such as "[1au]" allowed between.
  std::unique_ptr<tolvek::Regex> m_query;
  // An answer: "<id><flags> <answers>/<authority>/<additional> <records>".
  std::unique_ptr<tolvek::Regex> m_answer;
};

const CaptureExpressions& Expressions() {
  static const CaptureExpressions expressions = [] {
    CaptureExpressions e;
    e.m_ipv4 = tolvek::CreateRegularExpression("\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}",
                                               tolvek::kRegexCaseless | tolvek::kRegexDotAll);
    e.m_query = tolvek::CreateRegularExpression(
        "(?:^|\\s)(\\d+)\\+\\S*\\s+(?:\\[[^\\]\\s]*\\]\\s+)*A\\?\\s+(\\S+)");
    e.m_answer = tolvek::CreateRegularExpression(
        "(?:^|\\s)(\\d+)[^\\s/]*\\s+\\d+/\\d+/\\d+\\s+((?:A|CNAME)\\s.*)$");
    return e;
  }();
  return expressions;
}

std::string_view Group(std::string_view line, const tolvek::Regex::Match& match, int group) {
  int begin = match.offsets[2 * group];
  int end = match.offsets[2 * group + 1];
  if (begin < 0) return {};
  return line.substr(begin, end - begin);
}

// The IPv4 addresses of the answer's A records, in order. Other records (aliases,
// signatures, IPv6 addresses) are passed over; the list ends at an empty record, where a
// truncated answer stops.
std::vector<std::string> AnsweredAddresses(std::string_view records) {
  size_t cut = records.find(" (");
  if (cut != std::string_view::npos) records = records.substr(0, cut);
  std::vector<std::string> addresses;
  for (size_t i = 1;; ++i) {
    std::string_view record = TrimBlanks(SplitField(records, ',', i));
    if (record.empty()) break;
    if (record.substr(0, 2) == "A " && IsIpv4Text(TrimBlanks(record.substr(2)))) {
      addresses.emplace_back(TrimBlanks(record.substr(2)));
    }
  }
  return addresses;
}

std::string Label(std::string_view name, std::string_view address) {
  std::string label(name);
  label += '\n';
  label += address;
  return label;
}

void NameServer(ServerInfo& server, std::string_view name, std::string_view address) {
  server.IPAddress = std::string(address);
  server.Domain = std::string(name);
  server.Label = Label(name, address);
}

struct CaptureRun {
  OrderedMap<uint8_t> CaptureIPs;
  OrderedMap<std::string> DnsQueries;

  void Correlate(std::string_view name, const std::vector<std::string>& addresses) {
    EntityState& e = State().entities;
    std::string lowerName = LowerCase(name);
    bool found = false;
    // Only an address that a server of the log answers to is named by the answer; the
    // others keep their traffic as servers of their own.
    for (const std::string& address : addresses) {
      int32_t index = e.Servers.Find(address);
      if (index != kNoIndex) {
        CaptureIPs.Set(address, 0);
      } else {
        index = e.Servers.Find(lowerName);
      }
      if (index == kNoIndex) continue;
      NameServer(e.Servers.m_items[index], name, address);
      found = true;
    }
    if (found) return;
    ServerInfo& server = e.Servers.Get(lowerName);
    NameServer(server, name, addresses.front());
    server.OnlyInCapture = 1;
    CaptureIPs.Set(addresses.front(), 0);
  }

  void Line(std::string_view line) {
    const CaptureExpressions& x = Expressions();
    tolvek::Regex::Match match;
    std::string_view first, second;
    if (x.m_ipv4 && x.m_ipv4->Find(line, 0, match)) {
      first = Group(line, match, 0);
      if (x.m_ipv4->Find(line, match.offsets[1], match)) {
        second = Group(line, match, 0);
        for (std::string_view address : {first, second}) {
          if (!CaptureIPs.Find(address)) CaptureIPs.Set(address, 1);
        }
      }
    }
    if (x.m_query && x.m_query->Find(line, 0, match)) {
      std::string_view name = Group(line, match, 2);
      while (!name.empty() && name.front() == '.') name.remove_prefix(1);
      while (!name.empty() && name.back() == '.') name.remove_suffix(1);
      DnsQueries.Set(Group(line, match, 1), std::string(name));
      return;
    }
    if (x.m_answer && x.m_answer->Find(line, 0, match)) {
      const std::string* name = DnsQueries.Find(Group(line, match, 1));
      if (!name) return;
      // An answer without an IPv4 address names nothing here; its query stays open.
      std::vector<std::string> addresses = AnsweredAddresses(Group(line, match, 2));
      if (!addresses.empty()) Correlate(*name, addresses);
    }
  }

  void Finish() {
    EntityState& e = State().entities;
    std::unordered_set<std::string> domains;
    for (const ServerInfo& server : e.Servers.m_items) domains.insert(LowerCase(server.Domain));
    for (auto& [id, name] : DnsQueries.m_items) {
      if (domains.contains(LowerCase(name))) name.clear();
    }
    for (const auto& [id, name] : DnsQueries.m_items) {
      if (name.empty()) continue;
      ServerInfo& server = e.Servers.Get(LowerCase(name));
      server.Domain = name;
      server.Label = Label(name, "?.?.?.?");
      server.OnlyInCapture = 1;
    }
    for (const auto& [address, unnamed] : CaptureIPs.m_items) {
      if (unnamed == 0) continue;
      ServerInfo& server = e.Servers.Get(address);
      server.Address = server.Label = server.IPAddress = address;
      server.OnlyInCapture = 1;
    }
  }
};

bool CanOpen(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

bool IsIpv4Text(std::string_view text) {
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3) return false;
    ++parts;
    if (parts == 4) break;
    if (i >= text.size() || text[i] != '.') return false;
    ++i;
  }
  return i == text.size();
}

void CollectNetworkData() {
  TOLVEK_TRACE("CollectNetworkData");
  const std::string& path = State().CaptureFile;
  PrintProgress("Collecting network data ...");
  if (path.empty()) {
    PrintProgress("No file provided!");
    PrintProgress("Done.");
    return;
  }
  tolvek::MemoryPtr block(tolvek::ReadFile2Memory(path));
  if (!block) {
    // An empty capture is a capture without traffic; only one that cannot be read is told.
    if (!CanOpen(path)) PrintProgress("Warning: Couldn't read file '" + path + "'!");
    PrintProgress("Done.");
    return;
  }
  CaptureRun run;
  const void* memory = block.get();
  tolvek::OpenMemoryString(memory);
  while (!tolvek::EOM(memory)) run.Line(tolvek::ReadMemoryString(memory));
  tolvek::CloseMemoryString(memory);
  run.Finish();
  PrintProgress("Done.");
}

}  // namespace evtweave
