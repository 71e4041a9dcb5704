// Host names for the log's servers from the DNS traffic of a capture text (tcpdump -n),
// and the servers that only the capture shows.
#pragma once

#include <string_view>

namespace evtweave {

void CollectNetworkData();

// True for a whole dotted quad of one to three digits per part.
bool IsIpv4Text(std::string_view text);

}  // namespace evtweave
