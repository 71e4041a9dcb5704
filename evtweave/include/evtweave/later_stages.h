// Stages of the run that are still empty: the ignore lists, the capture text, the file,
// registry and network rules, the object node declarations and the details file. The run
// calls them in their places so that filling them in changes nothing around them.
#pragma once

#include "evtweave/converter_state.h"

namespace evtweave {

void LoadIgnoreFiles();
void CollectNetworkData();
void FileRules(const ProcmonRow& row);
void RegistryRules(const ProcmonRow& row);
void NetworkRules(const ProcmonRow& row);
void DeclareObjectNodes(const ProcmonRow& row);
void AddCaptureOnlyServers();
void WriteDetailsFile();

}  // namespace evtweave
