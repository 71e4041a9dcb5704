// Reading the Process Monitor CSV log into rows.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

// The file's bytes as UTF-8: a byte-order mark decides, else UTF-16 is recognised by its
// zero bytes, else valid UTF-8 is kept and anything else is read as the ANSI code page.
std::string DecodeLogText(std::string bytes);
// The same without checking that the text is valid UTF-8 (npos for UTF-16 only), for text
// marked unchecked (LogText::MarkUnchecked).
size_t Utf8Start(std::string_view bytes);

enum class CsvReadResult { kOk, kUnknownFormat };

// Checks the header and fills ProcmonRows, ColumnIndex and LongPaths from State().csv.m_text.
// Prints the phase's progress lines; the caller reports an unknown format. The log is read
// in stretches of about stretchBytes on several threads (0: sized for the processors). Text
// marked unchecked that turns out not to be UTF-8 is decoded (DecodeLogText) and read again.
// plainFields: every record through the general field splitter, skipping the quick one for
// plainly quoted records (both must read alike).
CsvReadResult ReadProcmonCsv(size_t stretchBytes = 0, bool plainFields = false);

namespace detail {
// Runs job(0) .. job(count - 1), spread over the usable processors; the calling thread takes
// its share, and all of them when no other thread can be had. A job that throws
// std::bad_alloc ends the program with the report of exhausted memory.
void RunOnThreads(size_t count, const std::function<void(size_t)>& job);
// Valid UTF-8 throughout, judged in slices on as many threads (a slice bound is moved back
// to where a character begins).
bool IsValidUtf8InSlices(std::string_view text, size_t slices);
}  // namespace detail

// The row in its current state as a pretty-printed JSON object (warnings print it).
std::string RowAsJson(const ProcmonRow& row);

}  // namespace evtweave
