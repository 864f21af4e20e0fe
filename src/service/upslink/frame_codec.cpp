#include "service/upslink/frame_codec.h"

#include <algorithm>
#include <cstring>

#include "common/bounded_format.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

// Payload of the frame that enables the control command behind it.
constexpr char kEnablePayload[] = "Kwzq";

// The read commands and the type digit of their replies.
struct ReadCommand {
  const char* name;
  unsigned char type;
};
constexpr ReadCommand kReadCommands[] = {{"RA", '1'}, {"RB", '2'}, {"RC", '3'},
                                         {"RD", '4'}, {"RE", '5'}, {"RF", '6'},
                                         {"RG", '7'}, {"RJ", '8'}, {"RI", '9'}};

int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

// The parameter text of a command; empty for commands that take none.
std::string ParameterText(SrvLog& log, const std::string& name, int first, int second) {
  if (name == "UP") {
    // One digit per output; the actions are 0 to 3.
    return common::FormatString(16, "%d%d", Clamp(first, 0, 9), Clamp(second, 0, 9));
  }
  if (name == "VP") {
    switch (first) {
      case 0: return "00";
      case 1: return "30";
      case 2: return "03";
      case 3: return "33";
      default: return "";
    }
  }
  if (name == "VN") {
    // Three digits of tens of seconds each: longer delays are sent as the longest the UPS takes,
    // as the power-off delay of US is.
    return common::FormatString(16, "%03d%03d", Clamp(first / 10, 0, 999),
                                Clamp(second / 10, 0, 999));
  }
  if (name == "US") {
    const int off = Clamp(first / 10, 0, 999);
    const int restart = Clamp(second / 60, 0, 99999);
    log.Format("%s%d / %s%d", "シャットダウン停止(*10秒)：", off, "起動(分)：", restart);
    return common::FormatString(16, "%03d%05d", off, restart);
  }
  if (name == "UM") return "0";
  return "";
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (name == n) return true;
  }
  return false;
}

// Characters [start, start + count) of the payload (which ends before payloadEnd), cut at a NUL
// and with trailing blanks removed.
std::string PayloadText(const unsigned char* frame, std::size_t payloadEnd, std::size_t start,
                        std::size_t count) {
  if (start >= payloadEnd) return "";
  const std::size_t end = std::min(start + count, payloadEnd);
  std::string text(reinterpret_cast<const char*>(frame + start), end - start);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  const std::size_t last = text.find_last_not_of(' ');
  text.resize(last == std::string::npos ? 0 : last + 1);
  return text;
}

// The relay digit at a position: its value, or -1 for a character that is no digit.
int RelayDigit(unsigned char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

}  // namespace

unsigned char FrameXor(const unsigned char* bytes, std::size_t length) {
  unsigned char x = 0;
  for (std::size_t i = 0; i < length; ++i) x ^= bytes[i];
  return x;
}

std::size_t BuildFrame(const unsigned char* payload, std::size_t length,
                       unsigned char* destination) {
  destination[0] = kStx;
  if (length > 0) std::memcpy(destination + 1, payload, length);
  destination[length + 1] = kEtx;
  destination[length + 2] = FrameXor(destination + 1, length + 1);
  return length + 3;
}

bool IsControlCommand(const std::string& name) {
  return IsOneOf(name, {"UP", "VP", "VN", "US", "UM"});
}

std::size_t BuildCommand(SrvLog& log, bool control, const std::string& name, int first,
                         int second, unsigned char* destination) {
  std::size_t length = 0;
  if (control) {
    length = BuildFrame(reinterpret_cast<const unsigned char*>(kEnablePayload),
                        sizeof kEnablePayload - 1, destination);
  }
  // Command names are two letters; the parameter text is at most eight characters.
  const std::string payload = name.substr(0, 2) + ParameterText(log, name, first, second);
  length += BuildFrame(reinterpret_cast<const unsigned char*>(payload.data()), payload.size(),
                       destination + length);
  return length;
}

std::size_t FindEtx(const unsigned char* frame, std::size_t length) {
  const void* etx = length > 0 ? std::memchr(frame, kEtx, length) : nullptr;
  return etx ? static_cast<std::size_t>(static_cast<const unsigned char*>(etx) - frame) : length;
}

bool CheckFrame(SrvLog& log, const unsigned char* frame, std::size_t length) {
  if (length <= 1) return true;
  unsigned char computed = 0;
  unsigned char received = 0;
  for (std::size_t i = 1; i < length; ++i) {
    computed ^= frame[i];
    if (frame[i] == kEtx) {
      if (i + 1 < length) received = frame[i + 1];
      break;
    }
  }
  if (computed == received) return true;
  log.Format("%s%x%s%x%s", "XORdataCheck：ERROR[uNow=", static_cast<unsigned>(received),
             "  uResult=", static_cast<unsigned>(computed), "]");
  return false;
}

bool ReplyMatches(const std::string& command, const unsigned char* frame, std::size_t length) {
  if (length < 2 || frame[0] != kStx) return false;
  for (const ReadCommand& read : kReadCommands) {
    if (command == read.name && frame[1] == read.type) return true;
  }
  return length == 8 && frame[1] == 'C' && command.size() == 2 && frame[4] == command[0] &&
         frame[5] == command[1];
}

std::string ReplyResult(SrvLog& log, const unsigned char* frame, std::size_t length) {
  if (length < 1 || frame[0] != kStx) {
    log.Write("受信コマンド：ERROR[pData[0] !=STX]");
    return "";
  }
  if (length < 2 || frame[1] != 'C') {
    log.Write("受信コマンド：ERROR[pData[1]!=Reply_CommandResult]");
    return "";
  }
  // The echoed name must lie inside the payload.
  if (FindEtx(frame, length) < 6 || frame[2] != '1') return "";
  return std::string(reinterpret_cast<const char*>(frame + 4), 2);
}

bool AcceptReply(SrvLog& log, const std::string& command, const unsigned char* frame,
                 std::size_t length, int relayMode, IdentificationTexts* identification) {
  if (!CheckFrame(log, frame, length)) return false;
  if (IsOneOf(command, {"UP", "VP", "VN", "US"})) {
    return ReplyResult(log, frame, length) == command;
  }
  if (command == "RA") {
    if (!ReplyMatches(command, frame, length)) return false;
    const std::size_t end = FindEtx(frame, length);
    if (identification) {
      *identification = {PayloadText(frame, end, 2, 30), PayloadText(frame, end, 32, 20),
                         PayloadText(frame, end, 52, 15), PayloadText(frame, end, 67, 10),
                         PayloadText(frame, end, 77, 10)};
    }
    return true;
  }
  if (command == "RI") {
    if (!ReplyMatches(command, frame, length)) return false;
    if (FindEtx(frame, length) < 14) return false;
    if (frame[10] != '1' || frame[11] != '1') return false;
    const int d1 = RelayDigit(frame[12]);
    const int d2 = RelayDigit(frame[13]);
    if (d1 == 0 && d2 == 0) return relayMode == 0;
    if (d1 == 3 && d2 == 0) return relayMode == 1;
    if (d1 == 0 && d2 == 3) return relayMode == 2;
    if (d1 == 3 && d2 == 3) return relayMode == 3;
    return true;
  }
  return true;
}

}  // namespace wardend
