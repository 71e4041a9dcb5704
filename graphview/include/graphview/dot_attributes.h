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
// A logged time shown relative to the model's first event, or as written with showOriginal.
// A time of day more than 12 hours before the first event's is on the next day.
std::string FormatTimestamp(const GraphModel& model, std::string_view text, bool showOriginal);
// A frame's time field: its relative time, or its time as written with showOriginal.
std::string FormatFrameTime(const TimelineFrame& frame, bool showOriginal);

// Times of day in the order of the log, as seconds since the first one's midnight: a time of
// day more than 12 hours before the previous one's is on the next day, so a log that runs
// past midnight never goes back in time.
class DayCount {
 public:
  double Next(double timeOfDay);

 private:
  bool m_any = false;
  double m_previous = 0;
  double m_days = 0;
};
// Seconds as a time of day ("hh:mm:ss" and ",digits" when there is a fraction).
std::string FormatRelativeTime(double seconds);

}  // namespace graphview
