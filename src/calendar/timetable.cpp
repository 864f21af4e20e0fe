#include "calendar/timetable.h"

#include <cctype>
#include <cstdio>

namespace calendr32 {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Exactly "H:MM" or "HH:MM"; 24:00 only where allowed. kNoMinute when not.
int ReadClock(const std::string& text, bool allow24) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
    return kNoMinute;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != colon && !std::isdigit(static_cast<unsigned char>(text[i]))) return kNoMinute;
  }
  const int hour = std::stoi(text.substr(0, colon));
  const int minute = std::stoi(text.substr(colon + 1));
  if (minute > 59) return kNoMinute;
  if (hour == 24 && minute == 0 && allow24) return 1440;
  if (hour > 23) return kNoMinute;
  return hour * 60 + minute;
}

int WeekdayIndex(const std::string& name) {
  static const char* const kShort[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
  static const char* const kLong[] = {"sunday",   "monday", "tuesday", "wednesday",
                                      "thursday", "friday", "saturday"};
  const std::string key = Lower(name);
  for (int i = 0; i < 7; ++i) {
    if (key == kShort[i] || key == kLong[i]) return i;
  }
  return -1;
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// "YYYY-MM-DD" or "YYYY/MM/DD" of a real date from 1970 to 2099; false otherwise.
bool ReadDate(const std::string& text, std::int64_t* dayNumber) {
  if (text.size() != 10 || text[4] != text[7] || (text[4] != '-' && text[4] != '/')) {
    return false;
  }
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1970 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
  if (day > kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0)) return false;
  *dayNumber = DayNumber(year, month, day);
  return true;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (true) {
    at = text.find_first_not_of(" \t", at);
    if (at == std::string::npos) return words;
    const std::size_t end = text.find_first_of(" \t", at);
    words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return words;
    at = end;
  }
}

// The value of a weekday line; the reason it cannot be read otherwise.
const char* ReadWeekValue(const std::string& value, WeekDay* day) {
  if (Lower(value) == "off") {
    *day = WeekDay{};
    return nullptr;
  }
  const std::size_t dash = value.find('-');
  if (dash == std::string::npos) return "開始-停止の時刻かoffを書きます";
  const int start = ReadClock(Trim(value.substr(0, dash)), false);
  const int stop = ReadClock(Trim(value.substr(dash + 1)), true);
  if (start == kNoMinute || stop == kNoMinute) return "時刻は00:00から23:59（停止は24:00も可）です";
  if (start == stop) return "開始と停止が同じ時刻です";
  day->on = true;
  day->start = start;
  day->stop = stop;
  return nullptr;
}

// The value of a date line: "off", or "stop HH:MM" and/or "start HH:MM".
const char* ReadDayValue(const std::string& value, DayEntry* entry) {
  const std::vector<std::string> words = Words(value);
  if (words.size() == 1 && Lower(words[0]) == "off") {
    entry->off = true;
    return nullptr;
  }
  if (words.empty() || words.size() % 2 != 0 || words.size() > 4) {
    return "off、stop 時刻、start 時刻のいずれか（stopとstartは両方も可）を書きます";
  }
  for (std::size_t i = 0; i < words.size(); i += 2) {
    const std::string what = Lower(words[i]);
    int* slot = what == "stop" ? &entry->stop : what == "start" ? &entry->start : nullptr;
    if (slot == nullptr) return "stopかstartのあとに時刻を書きます";
    if (*slot != kNoMinute) return "stopまたはstartが重複しています";
    *slot = ReadClock(words[i + 1], false);
    if (*slot == kNoMinute) return "時刻は00:00から23:59です";
  }
  return nullptr;
}

}  // namespace

std::int64_t DayNumber(int year, int month, int day) {
  // Days from civil, proleptic Gregorian (March-based years).
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilDate(std::int64_t dayNumber, int* year, int* month, int* day) {
  const std::int64_t z = dayNumber + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

int WeekdayOf(std::int64_t dayNumber) {
  // 1970-01-01 was a Thursday.
  return static_cast<int>(((dayNumber % 7) + 7 + 4) % 7);
}

Timetable ReadTimetable(const std::string& text) {
  Timetable table;
  enum class Section { None, Week, Days, Other } section = Section::None;
  std::array<bool, 7> seenDay{};
  int lineNumber = 0;
  std::size_t at = 0;
  auto skip = [&table, &lineNumber](const std::string& line, const char* why) {
    char head[64];
    std::snprintf(head, sizeof head, "sched.ini %d行目を読み飛ばしました（", lineNumber);
    table.messages.push_back(head + std::string(why) + "）：" + line);
  };
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    // A byte-order mark from an editor is not part of the first line.
    if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    if (trimmed.front() == '[') {
      const std::string name = trimmed.back() == ']' ? Lower(Trim(trimmed.substr(1, trimmed.size() - 2))) : "";
      section = name == "week" ? Section::Week : name == "days" ? Section::Days : Section::Other;
      if (section == Section::Other) skip(trimmed, "セクションは[week]と[days]です");
      continue;
    }
    if (section == Section::Other) continue;  // named once, at its header
    const std::size_t equals = trimmed.find('=');
    if (section == Section::None) {
      skip(trimmed, "[week]か[days]の中に書きます");
      continue;
    }
    if (equals == std::string::npos) {
      skip(trimmed, "名前=値の形ではありません");
      continue;
    }
    const std::string key = Trim(trimmed.substr(0, equals));
    const std::string value = Trim(trimmed.substr(equals + 1));
    if (section == Section::Week) {
      const int index = WeekdayIndex(key);
      if (index < 0) {
        skip(trimmed, "曜日はMon、Tue、Wed、Thu、Fri、Sat、Sunです");
        continue;
      }
      if (seenDay[index]) {
        skip(trimmed, "同じ曜日が前の行にあります");
        continue;
      }
      WeekDay day;
      if (const char* why = ReadWeekValue(value, &day)) {
        skip(trimmed, why);
        continue;
      }
      seenDay[index] = true;
      table.week[index] = day;
    } else {
      std::int64_t dayNumber = 0;
      if (!ReadDate(key, &dayNumber)) {
        skip(trimmed, "日付は2026-12-31の形の実在する日です");
        continue;
      }
      if (table.days.count(dayNumber) != 0) {
        skip(trimmed, "同じ日付が前の行にあります");
        continue;
      }
      DayEntry entry;
      if (const char* why = ReadDayValue(value, &entry)) {
        skip(trimmed, why);
        continue;
      }
      table.days[dayNumber] = entry;
    }
  }
  return table;
}

}  // namespace calendr32
