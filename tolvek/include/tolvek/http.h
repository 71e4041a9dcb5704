// HTTP(S) requests through the downloader program (wget).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvek {

// No time limit for GetHttpResponse2String.
constexpr int64_t kHttpNoTimeout = -65535;
// The whole body is read, however long.
constexpr int64_t kHttpWholeBody = -1;

// With withHeaders: the downloader's log and Chr(1) first. Then the body and LF, or for a
// body that is not text, "Cannot display content-type \"<type>\"" and LF. Exactly
// "***TIMEOUT***" when the downloader had to be stopped; "" when there is no downloader.
// With maxBodyBytes >= 0 only that many bytes of the body are read, the rest never is.
std::string GetHttpResponse2String(const std::string& url, int64_t timeoutMs, bool withHeaders,
                                   const std::string& referer, bool noProxy, bool noRedirect,
                                   int64_t maxBodyBytes = kHttpWholeBody);

// The answer without headers, as GetHttpResponse2String gives it, and whether a server
// answered at all (with any status): an empty text alone cannot tell an empty file from a
// server that was never reached.
struct HttpAnswer {
  std::string text;
  bool reached = false;
};
HttpAnswer GetHttpAnswer(const std::string& url, int64_t timeoutMs, const std::string& referer,
                         bool noProxy, bool noRedirect, int64_t maxBodyBytes);

namespace detail {
// Start-up step (workbench build): prepares the downloader's shared state.
void InitDownloader();

// Runs one job: its id, the negative id after a time-out, 0 when the downloader is missing.
int64_t GetHttpResponse(const std::string& url, int64_t timeoutMs, const std::string& referer,
                        bool noProxy, bool noRedirect);
std::vector<std::string> DownloaderArguments(const std::string& url, const std::string& referer,
                                             bool noProxy, bool noRedirect,
                                             const std::string& logPath,
                                             const std::string& bodyPath);
std::string HttpLogPath(int64_t id);
std::string HttpBodyPath(int64_t id);
// Seams for tests: the job counter and the downloader program ("" = wget from the system).
void SetHttpJobCounter(int64_t value);
void SetDownloaderPath(const std::string& path);
}  // namespace detail

}  // namespace tolvek
