// A log from raw bytes through the converter's reader and, when it reads, on through every
// phase up to the DOT text: no input may crash or hang the converter or put a NUL into the DOT.
// The log is read twice, cut into small stretches from unchecked bytes and whole from decoded
// text, one of them splitting every record with the general field splitter: both readings
// must agree, also on the lines they skip and the warnings that say so.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../unit/evtweave/reading_text.h"
#include "evtweave/capture_text.h"
#include "evtweave/console_output.h"
#include "evtweave/converter.h"
#include "evtweave/dot_writer.h"
#include "evtweave/entities.h"
#include "evtweave/event_pass.h"
#include "evtweave/launcher.h"
#include "evtweave/procmon_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kModes[] = {"lumivex",
                                       "lumivex,dumb",
                                       "lumivex,dumb,compressed",
                                       "lumivex,dumb,compressed,reduced",
                                       "lumivex,forceascii",
                                       "dumb,nopaths,rof"};
  std::string_view mode = kModes[data[0] % 6];
  static std::string output;
  output.clear();
  evtweave::SetConsoleSink([](std::string_view bytes) { output.append(bytes); });
  evtweave::ResetConverterState();
  evtweave::ConverterState& state = evtweave::State();
  state.options = evtweave::ParseModeString(mode);
  std::string log(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Taken for UTF-8 unchecked, as a mapped log is; the reader decodes it if it is not.
  size_t start = evtweave::Utf8Start(log);
  if (start == std::string_view::npos) {
    state.csv.m_text = evtweave::DecodeLogText(log);
  } else {
    state.csv.m_text = log;
    state.csv.m_text.SkipPrefix(start);
    state.csv.m_text.MarkUnchecked();
  }
  bool plainCut = data[0] >= 128;
  evtweave::CsvReadResult cut = evtweave::ReadProcmonCsv(data[0] / 6 % 16 + 1, plainCut);
  std::string cutReading = evtweave::testing::ReadingAsText();
  std::string cutOutput = output;
  output.clear();
  evtweave::ResetConverterState();
  state.options = evtweave::ParseModeString(mode);
  state.csv.m_text = evtweave::DecodeLogText(log);
  evtweave::CsvReadResult whole = evtweave::ReadProcmonCsv(0, !plainCut);
  if (whole != cut || output != cutOutput ||
      (whole == evtweave::CsvReadResult::kOk && evtweave::testing::ReadingAsText() != cutReading)) {
    std::abort();
  }
  if (whole == evtweave::CsvReadResult::kOk) {
    if (state.csv.ProcmonRows.size() > state.csv.m_text.size()) std::abort();
    evtweave::CollectEntities();
    evtweave::ManageLauncher();
    evtweave::CollectNetworkData();
    evtweave::AnalyzeData();
    // Graphviz reads a NUL as the end of its input: none may reach the DOT text.
    if (evtweave::BuildDotText().find('\0') != std::string::npos) std::abort();
  }
  evtweave::ResetConverterState();
  return 0;
}
