// The event pass's rules for files, registry keys and servers, and the node statements of
// the objects they touch.
#pragma once

#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

void FileRules(const ProcmonRow& row);
void RegistryRules(const ProcmonRow& row);
void NetworkRules(const ProcmonRow& row);
// After the rules of a row: declares the file, registry key and server nodes it touched.
void DeclareObjectNodes(const ProcmonRow& row);
// After the pass: the servers that only the capture shows and no connection uses.
void AddCaptureOnlyServers();

// The node of a lower-cased file path: its record's, or a loose id when no record holds it.
NodeRef FileNodeFor(std::string_view lowerPath, std::string_view path = {});
// In compressed mode the category node when the path has a content category, else the
// file's node.
NodeRef CompressedFileNodeFor(std::string_view lowerPath, std::string_view path = {});

// Autostart locations: a substring test on the lower-cased path.
bool IsAutostartLocation(std::string_view path);
// " (AUTOSTART!)" (inline) or "\n(AUTOSTART!)" with the DOT line break; "" elsewhere.
std::string AutostartMark(std::string_view path, bool inlineMark);

}  // namespace evtweave
