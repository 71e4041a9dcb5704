// How find compares texts, kept apart from the graph so that it can be checked alone.
#pragma once

#include <string>
#include <string_view>

namespace workbench::detail {

// A text as find compares it: lower-cased code point by code point, and with
// lineBreakEscapes every "\n" escape of a graph label (a backslash and an "n") read as one
// blank, so a text typed across a label's line break finds it.
std::u32string FoldForFind(std::string_view utf8, bool lineBreakEscapes);

// True when the folded search text occurs anywhere in the text folded alike; an empty search
// text occurs nowhere.
bool OccursIn(const std::u32string& folded, std::string_view utf8, bool lineBreakEscapes);

}  // namespace workbench::detail
