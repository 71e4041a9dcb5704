// HTTP(S) requests through the downloader program (wget).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvek {

// No time limit for GetHttpResponse2String.
constexpr int64_t kHttpNoTimeout = -65535;

// With withHeaders: the downloader's log and Chr(1) first. Then the body and LF, or for a
// body that is not text, "Cannot display content-type \"<type>\"" and LF. Exactly
// "***TIMEOUT***" when the downloader had to be stopped; "" when there is no downloader.
std::string GetHttpResponse2String(const std::string& url, int64_t timeoutMs, bool withHeaders,
                                   const std::string& referer, bool noProxy, bool noRedirect);

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
