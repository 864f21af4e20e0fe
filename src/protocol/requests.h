// The requests of the UDP protocol: builders for the clients and readers of their parameters
// for the service. A built request is complete (header, markers, scrambled code and time) and
// goes out as it is, 136 bytes, to the service's upsport.
#pragma once

#include <cstdint>

#include "protocol/command_datagram.h"

namespace protocol {

// The access signature of upshut in bytes 120 and 121.
constexpr unsigned char kUpshutSignature1 = 'J';
constexpr unsigned char kUpshutSignature2 = 'Q';

// Every builder takes the sender's wall time now (seconds since 1970) and its own IPv4 address
// in host order (0 when unknown: no receiver reads it).

// Code 6: status streaming. interval (seconds) and count (0: until stopped) are clamped to
// 0..255; selector goes to byte 114 for the client's own use.
CommandDatagram BuildStartMonitoring(int interval, int count, int selector, std::int64_t now,
                                     std::uint32_t sender);
// Code 7: stop the stream.
CommandDatagram BuildStopMonitoring(std::int64_t now, std::uint32_t sender);
// Code 8: information of kind 0 (UPS), 1 (machine and system) or 2; kind goes out as its low
// byte.
CommandDatagram BuildInformationRequest(int kind, std::int64_t now, std::uint32_t sender);
// Code 11: the service re-reads its settings.
CommandDatagram BuildReloadTab(std::int64_t now, std::uint32_t sender);
// Code 16: the schedule times.
CommandDatagram BuildScheduleRequest(std::int64_t now, std::uint32_t sender);
// Code 17: shut down after stopMinutes and restart after startMinutes (0: no new restart
// time), both clamped to 0..65535, with the access signature.
CommandDatagram BuildUpshut(int stopMinutes, int startMinutes, std::int64_t now,
                            std::uint32_t sender);
// Code 40: a UPS self-test; selector goes to byte 114.
CommandDatagram BuildSelfTest(int selector, std::int64_t now, std::uint32_t sender);
// Any code with no parameters (a code the service does not know, a NAK sent as a request).
CommandDatagram BuildBareRequest(int code, std::int64_t now, std::uint32_t sender);

// What the service reads of a request (unscrambled with UnscrambleDatagram first).
struct MonitoringRequest {
  int interval = 0;  // seconds between status datagrams, 0..255
  int count = 0;     // datagrams to send, 0..255; 0 until stopped
};
MonitoringRequest ReadMonitoringRequest(const CommandDatagram& request);

int ReadInformationKind(const CommandDatagram& request);

struct UpshutRequest {
  bool signature = false;  // bytes 120 and 121 are 'J' 'Q'
  int stopMinutes = 0;      // 0..65535
  int startMinutes = 0;     // 0..65535
};
UpshutRequest ReadUpshutRequest(const CommandDatagram& request);

}  // namespace protocol
