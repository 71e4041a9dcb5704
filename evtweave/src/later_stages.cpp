#include "evtweave/later_stages.h"

#include "evtweave/console_output.h"

namespace evtweave {

void LoadIgnoreFiles() {}

void CollectNetworkData() {
  PrintProgress("Collecting network data ...");
  if (State().CaptureFile.empty()) PrintProgress("No file provided!");
  PrintProgress("Done.");
}

void FileRules(const ProcmonRow&) {}
void RegistryRules(const ProcmonRow&) {}
void NetworkRules(const ProcmonRow&) {}
void DeclareObjectNodes(const ProcmonRow&) {}
void AddCaptureOnlyServers() {
  State().graph.CaptureOnlyLines.clear();
}
void WriteDetailsFile() {}

}  // namespace evtweave
