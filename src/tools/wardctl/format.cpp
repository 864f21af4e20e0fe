#include "tools/wardctl/format.h"

#include <cstdio>
#include <ctime>

#include "platform/clock.h"
#include "platform/text.h"

namespace wardctl {

namespace {

constexpr std::uint32_t kNoTime = 1999999995;

const char* const kInformationLabels[3][5] = {
    {"model", "third text", "series", "hardware version", "software version"},
    {"machine type", "operating system", "version", nullptr, nullptr},
    {"text 1", "text 2", nullptr, nullptr, nullptr},
};

std::string Hex2(int byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte) & 0xFFu);
  return text;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Dotted(std::uint32_t a) {
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                a & 0xFF);
  return text;
}

std::string Line(const std::string& label, const std::string& value) {
  std::string line = label + ":";
  if (line.size() < 18) line.resize(18, ' ');
  return line + value + "\n";
}

std::string JsonTime(std::uint32_t t) {
  return t == kNoTime ? std::string("null") : std::to_string(t);
}

std::string OutputsText(int outputs) {
  return std::string("output 1 ") + ((outputs & 1) ? "on" : "off") + ", output 2 " +
         ((outputs & 2) ? "on" : "off");
}

std::string StatusAsText(const StatusView& s) {
  std::string out = Line("time", TimeText(s.time));
  if (s.hasStatus) {
    out += Line("status", StatusMeaning(s.statusCode) + " (status byte " + Hex2(s.statusByte) +
                              ", status code " + std::to_string(s.statusCode) + ")");
    out += Line("outputs", OutputsText(s.outputs));
    out += Line("alarm byte", Hex2(s.alarm));
    out += Line("condition bytes", Hex2(s.conditions[0]) + " " + Hex2(s.conditions[1]) + " " +
                                       Hex2(s.conditions[2]));
    if (s.conditions[0] & 0x08) out += Line("self-test", "the last self-test found a fault");
    if (s.conditions[2] & 0x80) {
      out += Line("self-test", "the last self-test was refused or gave no result");
    }
  } else {
    out += Line("status", "not served (the service sends " + std::to_string(s.length) +
                              "-byte records, which end before the status byte)");
  }
  for (const Reading& r : s.readings) {
    out += Line("item " + std::to_string(r.item), Number(r.value));
  }
  return out;
}

std::string StatusAsJson(const StatusView& s, const std::vector<unsigned char>& record) {
  std::string out = "{\"time\":" + std::to_string(s.time) +
                    ",\"time_text\":" + JsonString(TimeText(s.time)) +
                    ",\"length\":" + std::to_string(s.length) +
                    ",\"link_kind\":" + std::to_string(s.linkKind);
  if (s.hasStatus) {
    out += ",\"status_byte\":" + std::to_string(s.statusByte) +
           ",\"status_code\":" + std::to_string(s.statusCode) +
           ",\"status\":" + JsonString(StatusMeaning(s.statusCode)) +
           ",\"outputs\":" + std::to_string(s.outputs) + ",\"alarm\":" + std::to_string(s.alarm) +
           ",\"conditions\":[" + std::to_string(s.conditions[0]) + "," +
           std::to_string(s.conditions[1]) + "," + std::to_string(s.conditions[2]) + "]";
  } else {
    out += ",\"status_byte\":null,\"status_code\":null,\"status\":null,\"outputs\":null,"
           "\"alarm\":null,\"conditions\":null";
  }
  out += ",\"readings\":{";
  for (std::size_t i = 0; i < s.readings.size(); ++i) {
    if (i > 0) out += ",";
    out += "\"" + std::to_string(s.readings[i].item) + "\":" + Number(s.readings[i].value);
  }
  out += "},\"record\":\"";
  static const char kDigits[] = "0123456789abcdef";
  for (unsigned char b : record) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out + "\"}\n";
}

}  // namespace

std::string TimeText(std::uint32_t t) {
  if (t == kNoTime) return "not set";
  std::tm tm{};
  if (!platform::ToLocalTime(static_cast<std::int64_t>(t), &tm)) return std::to_string(t);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string FormatStatus(const StatusView& status, const std::vector<unsigned char>& record,
                         bool json) {
  return json ? StatusAsJson(status, record) : StatusAsText(status);
}

std::string FormatInformation(int kind, int linkKind, int srvType,
                              const std::vector<std::string>& texts, bool json) {
  if (json) {
    std::string out = "{\"kind\":" + std::to_string(kind) +
                      ",\"link_kind\":" + std::to_string(linkKind) +
                      ",\"srv_type\":" + std::to_string(srvType) + ",\"texts\":[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) out += ",";
      out += JsonString(platform::ToDisplayText(texts[i]));
    }
    return out + "]}\n";
  }
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const char* label = kind >= 0 && kind <= 2 && i < 5 ? kInformationLabels[kind][i] : nullptr;
    out += Line(label ? label : "text " + std::to_string(i + 1),
                platform::ToDisplayText(texts[i]));
  }
  if (texts.empty()) out = "(no texts)\n";
  return out;
}

std::string FormatSchedule(std::uint32_t stop, std::uint32_t nextStart, bool json) {
  if (json) {
    return "{\"stop\":" + JsonTime(stop) + ",\"stop_text\":" + JsonString(TimeText(stop)) +
           ",\"next_start\":" + JsonTime(nextStart) +
           ",\"next_start_text\":" + JsonString(TimeText(nextStart)) + "}\n";
  }
  return Line("stop", TimeText(stop)) + Line("next start", TimeText(nextStart));
}

std::string FormatAccepted(const std::string& command, bool json) {
  if (json) return "{\"command\":" + JsonString(command) + ",\"accepted\":true}\n";
  return command + ": accepted\n";
}

std::string FormatNotice(int event, std::uint32_t from, std::int64_t time,
                         const std::string& text, bool json) {
  const std::string shown = platform::ToDisplayText(text);
  if (json) {
    return "{\"event\":" + std::to_string(event) + ",\"from\":" + JsonString(Dotted(from)) +
           ",\"time\":" + std::to_string(time) + ",\"text\":" + JsonString(shown) + "}\n";
  }
  std::string out = TimeText(static_cast<std::uint32_t>(time)) + "  event " +
                    std::to_string(event) + " from " + Dotted(from);
  if (!shown.empty()) out += "  " + shown;
  return out + "\n";
}

std::string FormatFailure(const Failure& failure, bool json) {
  if (!json) return "wardctl: " + failure.message + "\n";
  std::string out = "{\"error\":" + JsonString(FailureName(failure.kind)) +
                    ",\"message\":" + JsonString(failure.message);
  if (failure.kind == FailureKind::Refused) {
    out += ",\"request\":" + std::to_string(failure.request) +
           ",\"reason\":" + std::to_string(failure.reason);
  }
  return out + "}\n";
}

}  // namespace wardctl
