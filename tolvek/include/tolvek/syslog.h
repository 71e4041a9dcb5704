// Warnings and errors that have no window to show them in go to the system log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvek {

enum SyslogType : int { kSyslogError = 1, kSyslogWarning = 2, kSyslogInformation = 4 };

// The running program's file name without folder and extension.
std::string GetSyslogSource();

// One event per call; the message's lines become the event's insertion strings.
void Syslog(int type, std::string_view message);
void SyslogWarning(std::string_view message);
void SyslogError(std::string_view message);
void SyslogInformation(std::string_view message);

// The insertion strings of a message: its lines without LF; an LF at the very end adds no
// empty line; an empty message gives one empty string.
std::vector<std::string> SyslogLines(std::string_view message);

// Test seam: receives each event (its insertion strings joined by LF) instead of syslog(3).
// Must not allocate if it is to see out-of-memory reports faithfully.
using SyslogSink = void (*)(int type, std::string_view text);
void SetSyslogSink(SyslogSink sink);

namespace detail {
// Writes one event whose text is already the lines joined by LF. Allocation-free.
void SyslogRaw(int type, std::string_view joined);
}  // namespace detail

}  // namespace tolvek
