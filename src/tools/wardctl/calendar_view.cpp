#include "tools/wardctl/calendar_view.h"

#include <fstream>
#include <iterator>

#include "calendar/answers.h"
#include "calendar/timetable.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/wardctl/format.h"

namespace wardctl {

namespace {

std::string Line(const std::string& label, const std::string& value) {
  std::string line = label + ":";
  if (line.size() < 18) line.resize(18, ' ');
  return line + value + "\n";
}

std::string Time(std::int32_t t) { return TimeText(static_cast<std::uint32_t>(t)); }

std::string JsonTime(std::int32_t t) {
  return t == calendr32::kNone ? std::string("null") : std::to_string(t);
}

}  // namespace

std::string FormatCalendar(const std::string& installDir, std::int64_t now, bool json) {
  const std::string path = platform::JoinPath(installDir, "sched.ini");
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (json) return "\"calendar\":{\"error\":" + JsonString("cannot read " + path) + "}";
    return Line("calendar", "cannot read " + path);
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const calendr32::Timetable table = calendr32::ReadTimetable(text);
  const calendr32::WeeklyAnswer week = calendr32::AnswerWeekly(table, now);
  const calendr32::DailyAnswer day = calendr32::AnswerDaily(table, now);
  if (json) {
    std::string out = "\"calendar\":{\"weekly\":{\"result\":" + std::to_string(week.result) +
                      ",\"start\":" + JsonTime(week.start) + ",\"stop\":" + JsonTime(week.stop) +
                      ",\"next_start\":" + JsonTime(week.nextStart) +
                      "},\"single_day\":{\"result\":" + std::to_string(day.result) +
                      ",\"stop\":" + JsonTime(day.stop) +
                      ",\"next_start\":" + JsonTime(day.nextStart) + "},\"skipped\":[";
    for (std::size_t i = 0; i < table.messages.size(); ++i) {
      out += (i ? "," : "") + JsonString(platform::ToDisplayText(table.messages[i]));
    }
    return out + "]}";
  }
  std::string out = Line("calendar", path + " now") +
                    Line("weekly", "result " + std::to_string(week.result)) +
                    Line("  start", Time(week.start)) + Line("  stop", Time(week.stop)) +
                    Line("  next start", Time(week.nextStart)) +
                    Line("single-day", "result " + std::to_string(day.result)) +
                    Line("  stop", Time(day.stop)) + Line("  next start", Time(day.nextStart));
  for (const std::string& message : table.messages) {
    out += Line("skipped", platform::ToDisplayText(message));
  }
  return out;
}

}  // namespace wardctl
