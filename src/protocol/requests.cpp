#include "protocol/requests.h"

#include "common/big_endian.h"

namespace protocol {

namespace {

unsigned char ClampByte(int value) {
  return static_cast<unsigned char>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

std::uint32_t ClampMinutes(int value) {
  return static_cast<std::uint32_t>(value < 0 ? 0 : (value > 0xFFFF ? 0xFFFF : value));
}

CommandDatagram Complete(CommandDatagram datagram, int code, std::int64_t now,
                         std::uint32_t sender) {
  CompleteHeader(datagram, sender, code, now);
  return datagram;
}

}  // namespace

CommandDatagram BuildStartMonitoring(int interval, int count, int selector, std::int64_t now,
                                     std::uint32_t sender) {
  CommandDatagram datagram{};
  datagram[kParameterOffset] = ClampByte(interval);
  datagram[kParameterOffset + 1] = ClampByte(count);
  datagram[kSelectorOffset] = static_cast<unsigned char>(selector & 0xFF);
  return Complete(datagram, kCodeStartMonitoring, now, sender);
}

CommandDatagram BuildStopMonitoring(std::int64_t now, std::uint32_t sender) {
  return BuildBareRequest(kCodeStopMonitoring, now, sender);
}

CommandDatagram BuildInformationRequest(int kind, std::int64_t now, std::uint32_t sender) {
  CommandDatagram datagram{};
  datagram[kParameterOffset] = static_cast<unsigned char>(kind & 0xFF);
  return Complete(datagram, kCodeInformation, now, sender);
}

CommandDatagram BuildReloadTab(std::int64_t now, std::uint32_t sender) {
  return BuildBareRequest(kCodeReloadTab, now, sender);
}

CommandDatagram BuildScheduleRequest(std::int64_t now, std::uint32_t sender) {
  return BuildBareRequest(kCodeSchedule, now, sender);
}

CommandDatagram BuildUpshut(int stopMinutes, int startMinutes, std::int64_t now,
                            std::uint32_t sender) {
  CommandDatagram datagram{};
  datagram[kParameterOffset] = kUpshutSignature1;
  datagram[kParameterOffset + 1] = kUpshutSignature2;
  common::PutBe16(&datagram[kParameterOffset + 2], ClampMinutes(stopMinutes));
  common::PutBe16(&datagram[kParameterOffset + 4], ClampMinutes(startMinutes));
  return Complete(datagram, kCodeUpshut, now, sender);
}

CommandDatagram BuildSelfTest(int selector, std::int64_t now, std::uint32_t sender) {
  CommandDatagram datagram{};
  datagram[kSelectorOffset] = static_cast<unsigned char>(selector & 0xFF);
  return Complete(datagram, kCodeSelfTest, now, sender);
}

CommandDatagram BuildBareRequest(int code, std::int64_t now, std::uint32_t sender) {
  return Complete(CommandDatagram{}, code, now, sender);
}

MonitoringRequest ReadMonitoringRequest(const CommandDatagram& request) {
  MonitoringRequest read;
  read.interval = request[kParameterOffset];
  read.count = request[kParameterOffset + 1];
  return read;
}

int ReadInformationKind(const CommandDatagram& request) { return request[kParameterOffset]; }

UpshutRequest ReadUpshutRequest(const CommandDatagram& request) {
  UpshutRequest read;
  read.signature = request[kParameterOffset] == kUpshutSignature1 &&
                 request[kParameterOffset + 1] == kUpshutSignature2;
  read.stopMinutes = common::GetBe16(&request[kParameterOffset + 2]);
  read.startMinutes = common::GetBe16(&request[kParameterOffset + 4]);
  return read;
}

}  // namespace protocol
