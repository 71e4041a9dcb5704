// A capture text from raw bytes, read against a few servers the log named: no input may
// crash or hang the reader, and every server it adds must have a label.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "evtweave/capture_text.h"
#include "evtweave/console_output.h"
#include "evtweave/converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                  "/capture_text_fuzz." + std::to_string(getpid());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  evtweave::SetConsoleSink([](std::string_view) {});
  evtweave::ResetConverterState();
  evtweave::ConverterState& state = evtweave::State();
  state.CaptureFile = path;
  for (const char* known : {"10.0.0.1", "example.com", "192.168.1.20"}) {
    evtweave::ServerInfo& server = state.entities.Servers.Get(known);
    server.Address = server.Label = known;
  }
  evtweave::CollectNetworkData();
  std::remove(path.c_str());
  for (const evtweave::ServerInfo& server : state.entities.Servers.m_items) {
    if (server.Label.empty()) __builtin_trap();
  }
  evtweave::ResetConverterState();
  return 0;
}
