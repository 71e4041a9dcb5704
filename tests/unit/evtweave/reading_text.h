// Everything a reading of the log leaves behind, as one text, so two readings can be
// compared whole: rows with their line numbers and text numbers (which follow first
// appearance), then the long-path list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave::testing {

inline std::string ReadingAsText() {
  const CsvState& csv = State().csv;
  std::string out;
  for (const ProcmonRow& row : csv.ProcmonRows) {
    out += std::to_string(row.OriginalLineNumber) + "|" + std::string(row.TimeOfDay) + "|";
    for (uint32_t id :
         {row.ProcessName, row.Operation, row.Result, row.m_loggedPid, row.m_loggedTid}) {
      out += std::to_string(id) + "=" + std::string(csv.m_strings.Text(id)) + "|";
    }
    out += std::string(row.FullPath) + "|" + std::string(row.Detail) + "|" +
           std::to_string(static_cast<int>(row.m_op)) + "|" + std::to_string(row.m_pathFacts) +
           "\n";
  }
  for (std::string_view path : csv.LongPaths) out += std::string(path) + "\n";
  return out;
}

}  // namespace evtweave::testing
