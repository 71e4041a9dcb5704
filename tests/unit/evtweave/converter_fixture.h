// Runs the converter's phases in-process on a log held in a string.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "evtweave/console_output.h"
#include "evtweave/converter.h"
#include "evtweave/dot_writer.h"
#include "evtweave/entities.h"
#include "evtweave/event_pass.h"
#include "evtweave/launcher.h"
#include "evtweave/procmon_csv.h"

namespace evtweave::testing {

inline std::string& CapturedOutput() {
  static std::string output;
  return output;
}

// A quoted CSV line of the eight columns in export order.
inline std::string Row(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ",";
    line += "\"" + fields[i] + "\"";
  }
  return line + "\r\n";
}

inline const std::string kHeader =
    "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\","
    "\"TID\"\r\n";

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CapturedOutput().clear();
    SetConsoleSink([](std::string_view bytes) { CapturedOutput().append(bytes); });
  }
  void TearDown() override { SetConsoleSink(nullptr); }

  // Reads the log and runs every phase up to the DOT text.
  CsvReadResult Load(const std::string& text, const std::string& mode = "lumivex") {
    ResetConverterState();
    State().options = ParseModeString(mode);
    State().csv.m_text = DecodeLogText(text);
    return ReadProcmonCsv();
  }
  std::string Convert(const std::string& text, const std::string& mode = "lumivex") {
    if (Load(text, mode) != CsvReadResult::kOk) return "unknown format";
    CollectEntities();
    ManageLauncher();
    AnalyzeData();
    return BuildDotText();
  }
  const RowTable& Rows() { return State().csv.ProcmonRows; }
  const ProcessInfo* Process(std::string_view key) {
    int32_t i = FindProcessByKey(key);
    return i == kNoIndex ? nullptr : &State().entities.Processes[i];
  }
};

}  // namespace evtweave::testing
