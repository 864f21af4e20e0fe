// The replies of the UDP protocol. The service fills a zeroed datagram with one of the Set...
// functions, which return the code to scramble, and completes it with CompleteHeader; a client
// classifies whatever arrives with ClassifyDatagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/command_datagram.h"

namespace protocol {

// Lengths a status datagram can have: the served part of the status record (logsize).
constexpr std::size_t kShortStatusSize = 42;
constexpr std::size_t kLongStatusSize = 64;

// --- Service side ---------------------------------------------------------------------------

// ACK of a request: byte 120 = the request's code. Returns kCodeAck.
int SetAck(CommandDatagram& reply, int requestCode);
// NAK of a request: byte 120 = the request's code, byte 121 = reason. Returns kCodeNak.
int SetNak(CommandDatagram& reply, int requestCode, int reason);
// The information reply of kind: the texts one after another in the data area, each ended by
// NUL and the last followed by one more NUL; texts that do not fit the 84 bytes are cut on a
// character boundary (CP932) and those after them left out. Byte 120 = linkKind (low byte),
// 121 and 122 = 0xFF, 123 = srvType (low byte), 124 = kind. Returns kCodeInformation.
int SetInformation(CommandDatagram& reply, int kind, int linkKind, int srvType,
                   const std::vector<std::string>& texts);
// The schedule reply: stop at 124..127 and the next start at 132..135, big-endian. Returns
// kCodeSchedule.
int SetScheduleTimes(CommandDatagram& reply, std::uint32_t stop, std::uint32_t nextStart);

// --- Client side ----------------------------------------------------------------------------

// True for a datagram that carries status: 42 or 64 bytes arriving while the client's last
// request was code 6. Its bytes are the status record as the service serves it.
bool IsStatusDatagram(std::size_t size, int lastRequestCode);

enum class ReplyKind {
  Invalid,      // neither a status datagram nor 136 bytes: nothing to act on
  Status,       // status datagram (status holds its bytes)
  Ack,          // requestCode
  Nak,          // requestCode and reason
  Information,  // infoKind, linkKind, srvType, texts
  Schedule,     // schedStop, schedNextStart
  Notice,       // event
  Other,        // a command datagram with any other code (code says which)
};

struct ClassifiedDatagram {
  ReplyKind kind = ReplyKind::Invalid;
  int code = 0;             // unscrambled code of a command datagram
  std::uint32_t time = 0;   // the sender's clock
  int requestCode = 0;      // ACK, NAK
  int reason = 0;           // NAK
  int infoKind = 0;         // information
  int linkKind = 0;
  int srvType = 0;
  std::vector<std::string> texts;
  std::uint32_t schedStop = 0;       // schedule
  std::uint32_t schedNextStart = 0;
  int event = 0;                     // notice
  std::vector<unsigned char> status; // status datagram
};

// Classifies a received datagram of size bytes; lastRequestCode is the code of the client's
// last request (a status datagram is told by its length only after code 6). Never reads past
// size.
ClassifiedDatagram ClassifyDatagram(const unsigned char* bytes, std::size_t size,
                                    int lastRequestCode);

// The texts of a data area: its NUL-separated texts up to the last that is not empty (an empty
// text between others keeps its place); a text the area ends in counts up to the end.
std::vector<std::string> ReadDataTexts(const CommandDatagram& datagram);

}  // namespace protocol
