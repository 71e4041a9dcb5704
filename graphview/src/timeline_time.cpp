#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graphview/dot_attributes.h"
#include "graphview/plain_layout.h"
#include "text_lines.h"

namespace graphview {

std::string TimeText(std::string_view time) {
  std::string text(time.substr(0, time.find(' ')));
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

double TimeValue(std::string_view time) {
  std::string text = TimeText(time);
  size_t comma = text.find(',');
  std::string_view whole = std::string_view(text).substr(0, comma);
  // Counted in doubles: a damaged time with huge fields must not overflow.
  double h = static_cast<double>(IntegerValue(detail::SplitField(whole, ':', 1)));
  double m = static_cast<double>(IntegerValue(detail::SplitField(whole, ':', 2)));
  double s = static_cast<double>(IntegerValue(detail::SplitField(whole, ':', 3)));
  double f = comma == std::string::npos ? 0 : NumberValue("0." + text.substr(comma + 1));
  size_t blank = time.find(' ');
  if (blank != std::string_view::npos) {
    std::string_view suffix = detail::TrimBlanks(time.substr(blank));
    suffix = suffix.substr(0, 2);
    bool pm = suffix == "PM" || suffix == "pm";
    bool am = suffix == "AM" || suffix == "am";
    if (pm && h >= 1 && h < 12) h += 12;
    if (am && h == 12) h = 0;
  }
  return h * 3600 + m * 60 + s + f;
}

std::string FormatRelativeTime(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  // Times before the first event show as midnight; the clock wraps after 24 hours anyway.
  int64_t whole = static_cast<int64_t>(std::clamp(std::trunc(seconds), 0.0, 1e15));
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld",
                static_cast<long long>(whole / 3600 % 24), static_cast<long long>(whole / 60 % 60),
                static_cast<long long>(whole % 60));
  char digits[512];
  std::snprintf(digits, sizeof digits, "%.10f", seconds);
  std::string fraction(std::string_view(digits).substr(std::string_view(digits).find('.') + 1));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string text = clock;
  if (!fraction.empty()) text += "," + fraction;
  return text;
}

namespace {
constexpr double kHalfDay = 12 * 3600;
constexpr double kDay = 24 * 3600;
}  // namespace

double DayCount::Next(double timeOfDay) {
  if (m_any && timeOfDay < m_previous - kHalfDay) m_days += kDay;
  m_any = true;
  m_previous = timeOfDay;
  return timeOfDay + m_days;
}

std::string FormatTimestamp(const GraphModel& model, std::string_view text, bool showOriginal) {
  if (text.empty()) return {};
  if (showOriginal) return TimeText(text);
  double seconds = TimeValue(text) - model.FirstEventTime;
  if (seconds < -kHalfDay) seconds += kDay;
  return FormatRelativeTime(seconds);
}

std::string FormatFrameTime(const TimelineFrame& frame, bool showOriginal) {
  if (frame.timestamp.empty()) return {};
  return showOriginal ? frame.timestamp : FormatRelativeTime(frame.relTime);
}

}  // namespace graphview
