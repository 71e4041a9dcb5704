// Shaping paths and names for the graph: labels, apostrophes, 8.3 short names and the
// content categories of compressed mode.
#pragma once

#include <string>
#include <string_view>

namespace evtweave {

// The text a node of the path shows: with nopaths the file-name part, otherwise the path.
// It stays raw; the DOT writer escapes it.
std::string_view PathLabel(std::string_view path);
std::string UnescapeApostrophe(std::string_view text);
// True when a component ends in a tilde and a digit (the cheap test before resolving).
bool HasShortNameComponent(std::string_view path);
// The path with its short components expanded from the log's long paths, or unchanged.
std::string ResolveShortPath(std::string_view path);
std::string GetContentCategory(std::string_view name);
bool HasContentCategory(std::string_view name);

// Call after LongPaths is complete and before the first ResolveShortPath.
void PrepareShortPathIndex();

}  // namespace evtweave
