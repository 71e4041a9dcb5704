// The DOT pass: the attributes only the graph DOT file carries (font colours, capture-only
// servers, edge lines and pen widths) and the timeline of events built from its lines.
#pragma once
#include <string>
#include <string_view>

#include "graphview/graph_model.h"

namespace graphview {

// Reads the graph DOT text into a model whose layout has been read; the layout keeps the
// text. Lines whose nodes or edge the layout lacks are passed over.
void ReadDotAttributes(GraphModel& model, std::string dotText);

// The time text of a logged time: "." turned into "," and cut at the first blank.
std::string TimeText(std::string_view time);
// Seconds since midnight of a logged time; an AM or PM after the time counts.
double TimeValue(std::string_view time);
// A time shown relative to the model's first event, or as written with showOriginal.
std::string FormatTimestamp(const GraphModel& model, std::string_view text, bool showOriginal);
// Seconds as a time of day ("hh:mm:ss" and ",digits" when there is a fraction).
std::string FormatRelativeTime(double seconds);

}  // namespace graphview
