#include "tolvek/http.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory_string.h"
#include "tolvek/process.h"
#include "tolvek/regex.h"
#include "tolvek/temp_files.h"

namespace tolvek {
namespace {

constexpr int64_t kMaxJobId = 999'999;

struct HttpState {
  std::recursive_mutex mutex;  // the job counter and the downloader look-up
  int64_t counter = 0;
  std::string downloaderOverride;
  std::string downloader;  // found on the first request; "" when there is none
  std::unique_ptr<Regex> contentType;
};

HttpState& State() {
  static HttpState state;
  return state;
}

const Regex& ContentTypeRegex() {
  HttpState& s = State();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  if (!s.contentType) {
    s.contentType = CreateRegularExpression("content-type:\\s*(.*?)$",
                                            kRegexCaseless | kRegexMultiline | kRegexDotAll);
  }
  return *s.contentType;
}

std::string FindDownloader() {
  if (!State().downloaderOverride.empty()) {
    return access(State().downloaderOverride.c_str(), X_OK) == 0 ? State().downloaderOverride
                                                                 : std::string();
  }
  for (const char* candidate : {"/usr/bin/wget", "/bin/wget", "/usr/local/bin/wget"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return {};
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Replaces every occurrence of from (ASCII, any case) by to.
std::string ReplaceNoCase(const std::string& text, const std::string& from, const std::string& to) {
  std::string lower = Lower(text);
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = lower.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

}  // namespace

void detail::InitDownloader() {
  ContentTypeRegex();
}

void detail::SetHttpJobCounter(int64_t value) {
  std::lock_guard<std::recursive_mutex> lock(State().mutex);
  State().counter = value;
}

void detail::SetDownloaderPath(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(State().mutex);
  State().downloaderOverride = path;
  State().downloader.clear();
}

std::string detail::HttpLogPath(int64_t id) {
  return GetTemporaryDirectory4TolvekZubl() + "wget_o_" + std::to_string(id) + ".out." +
         std::to_string(GetProcessId());
}

std::string detail::HttpBodyPath(int64_t id) {
  return GetTemporaryDirectory4TolvekZubl() + "wget_" + std::to_string(id) + ".out." +
         std::to_string(GetProcessId());
}

std::vector<std::string> detail::DownloaderArguments(const std::string& url,
                                                     const std::string& referer, bool noProxy,
                                                     bool noRedirect, const std::string& logPath,
                                                     const std::string& bodyPath) {
  std::vector<std::string> args;
  if (!referer.empty()) args.push_back("--referer=" + referer);
  for (const char* a : {"-S", "-o"}) args.push_back(a);
  args.push_back(logPath);
  args.push_back("-O");
  args.push_back(bodyPath);
  args.push_back("-t");
  args.push_back("0");
  if (noProxy) args.push_back("--no-proxy");
  if (noRedirect) args.push_back("--max-redirect=0");
  args.push_back(url);
  return args;
}

int64_t detail::GetHttpResponse(const std::string& url, int64_t timeoutMs,
                                const std::string& referer, bool noProxy, bool noRedirect) {
  TOLVEK_TRACE("_GetHttpResponse");
  std::string address = ReplaceNoCase(url, "%3f", "?");
  address = ReplaceNoCase(address, "%3d", "=");
  address = ReplaceNoCase(address, "%26", "&");

  HttpState& s = State();
  int64_t id;
  std::string downloader;
  {
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (s.downloader.empty()) s.downloader = FindDownloader();
    if (s.downloader.empty()) return 0;
    downloader = s.downloader;
    s.counter = s.counter >= kMaxJobId ? 1 : s.counter + 1;
    id = s.counter;
  }

  ProgramOptions options;
  options.redirect = false;
  options.environment = {"LC_ALL=C"};  // the log is parsed, so it must not be translated
  Program program;
  if (!StartProgram(downloader,
                    DownloaderArguments(address, referer, noProxy, noRedirect, HttpLogPath(id),
                                        HttpBodyPath(id)),
                    GetTemporaryDirectory4TolvekZubl(), program, options)) {
    return id;  // reads as an empty answer
  }
  bool ended = WaitProgram(program, timeoutMs == kHttpNoTimeout ? -1 : timeoutMs);
  if (!ended) KillProgram(program);
  CloseProgram(program);
  return ended ? id : -id;
}

namespace {

struct Collected {
  std::string result;
  bool reached = false;
};

// With -S the downloader logs every status line the server sent, indented.
bool LogHoldsStatusLine(const std::string& log) {
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    size_t text = log.find_first_not_of(" \t", start);
    if (text < end && log.compare(text, 5, "HTTP/") == 0) return true;
    start = end + 1;
  }
  return false;
}

// Shortens the body file so that reading it reads at most limit bytes; false when it stays
// longer (it is then better left unread).
bool CutBody(const std::string& path, int64_t limit) {
  int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;  // nothing there to read at length
  struct stat st;
  bool within = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                (st.st_size <= limit || ftruncate(fd, static_cast<off_t>(limit)) == 0);
  close(fd);
  return within;
}

Collected Collect(const std::string& url, int64_t timeoutMs, bool withHeaders,
                  const std::string& referer, bool noProxy, bool noRedirect, int64_t maxBodyBytes) {
  Collected out;
  int64_t id = detail::GetHttpResponse(url, timeoutMs, referer, noProxy, noRedirect);
  if (id == 0) return out;
  std::string& result = out.result;
  if (id < 0) {
    id = -id;
    result = "***TIMEOUT***";
  } else {
    std::string log = ReadFile2String(detail::HttpLogPath(id), kFormatUtf8);
    out.reached = LogHoldsStatusLine(log);
    if (withHeaders) result = log + '\x01';
    std::string lower = Lower(log);
    bool text = lower.find("content-type:") == std::string::npos ||
                lower.find("content-type: text/") != std::string::npos ||
                lower.find("javascript") != std::string::npos ||
                lower.find("xml") != std::string::npos;
    if (text) {
      bool utf8 = DeclaresUtf8Charset(log.data(), log.size());
      if (maxBodyBytes < 0 || CutBody(detail::HttpBodyPath(id), maxBodyBytes)) {
        result += ReadFile2String(detail::HttpBodyPath(id), utf8 ? kFormatUtf8 : 0);
      }
      result += '\n';
    } else {
      result += "Cannot display content-type \"" +
                ExtractRegularExpression1(ContentTypeRegex(), log, 1, true) + "\"\n";
    }
  }
  unlink(detail::HttpLogPath(id).c_str());
  unlink(detail::HttpBodyPath(id).c_str());
  return out;
}

}  // namespace

std::string GetHttpResponse2String(const std::string& url, int64_t timeoutMs, bool withHeaders,
                                   const std::string& referer, bool noProxy, bool noRedirect,
                                   int64_t maxBodyBytes) {
  TOLVEK_TRACE("GetHttpResponse2String");
  return Collect(url, timeoutMs, withHeaders, referer, noProxy, noRedirect, maxBodyBytes).result;
}

HttpAnswer GetHttpAnswer(const std::string& url, int64_t timeoutMs, const std::string& referer,
                         bool noProxy, bool noRedirect, int64_t maxBodyBytes) {
  TOLVEK_TRACE("GetHttpAnswer");
  Collected got = Collect(url, timeoutMs, false, referer, noProxy, noRedirect, maxBodyBytes);
  return {std::move(got.result), got.reached};
}

}  // namespace tolvek
