// Checks a converter run's outputs against each other: every process, thread, file,
// registry key and server that the DOT file names (as a node or an edge end) has its group
// in the details file. Content-category nodes and the registry node describe no single
// object and have none.
//   details_check FILE.dot   -> exit 0, or 1 with the missing ids on standard error
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "tolvek/hex_form.h"
#include "tolvek/preferences.h"

namespace {

bool Described(const std::string& id) {
  static const std::set<std::string> kCategories = {"FILE:GRAFX",      "FILE:CSS", "FILE:HTML",
                                                    "FILE:JAVASCRIPT", "FILE:XML", "FILE:FLASH",
                                                    "FILE:COOKIES"};
  if (id == "REGISTRY" || kCategories.contains(id)) return false;
  for (const char* prefix : {"PROCESS:", "THREAD:", "FILE:", "REGISTRYKEY:", "SERVER:"}) {
    if (id.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// The quoted ids at the start of a statement: one for a node, two for an edge.
void CollectIds(const std::string& line, std::set<std::string>& ids) {
  size_t at = line.find_first_not_of(' ');
  if (at == std::string::npos || line[at] != '"') return;
  for (int n = 0; n < 2; ++n) {
    size_t end = line.find('"', at + 1);
    if (end == std::string::npos) return;
    ids.insert(line.substr(at + 1, end - at - 1));
    if (line.compare(end + 1, 5, " -> \"") != 0) return;
    at = end + 5;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: details_check FILE.dot\n";
    return 2;
  }
  std::string dot = argv[1];
  std::ifstream in(dot, std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << dot << "\n";
    return 1;
  }
  std::set<std::string> ids;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    CollectIds(line, ids);
  }
  if (!tolvek::OpenPreferences(dot + ".lumivex")) {
    std::cerr << "cannot read " << dot << ".lumivex\n";
    return 1;
  }
  int missing = 0;
  size_t checked = 0;
  for (const std::string& id : ids) {
    if (!Described(id)) continue;
    ++checked;
    if (!tolvek::PreferenceGroupHexified(id) || tolvek::ReadPreferenceString("ID") != id) {
      std::cerr << "no group for " << id << "\n";
      ++missing;
    }
  }
  tolvek::ClosePreferences();
  std::cout << checked << " nodes described\n";
  return missing == 0 ? 0 : 1;
}
