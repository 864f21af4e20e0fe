// Expected datagrams of the protocol tests, written out byte by byte.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "protocol/command_datagram.h"

namespace protocoltest {

using Bytes = std::vector<unsigned char>;

// Every example is sent at 2007-01-01 00:02:00 UTC: T = 1167609720 = 0x45984F78, whose low
// seven bits are 0x78; the time field is ((T XOR 0x2B6E4A19) - 4602117) = 0x6EAFCC5C.
constexpr std::int64_t kSendTime = 1167609720;
// From 192.168.1.10.
constexpr std::uint32_t kSender = 0xC0A8010A;

// 136 bytes: the header of a datagram from kSender ('#', C0 A8 01 0A, ":MSGCOMMND" and NUL),
// 't' at 112, the time field 6E AF CC 5C at 116, and the given bytes at their offsets.
inline Bytes Datagram(std::initializer_list<std::pair<std::size_t, unsigned char>> bytes) {
  Bytes datagram(136, 0);
  const unsigned char header[] = {'#', 0xC0, 0xA8, 0x01, 0x0A, ':', 'M', 'S',
                                  'G', 'C',  'O',  'M',  'M',  'N', 'D', 0x00};
  for (std::size_t i = 0; i < sizeof header; ++i) datagram[i] = header[i];
  datagram[112] = 't';
  datagram[116] = 0x6E;
  datagram[117] = 0xAF;
  datagram[118] = 0xCC;
  datagram[119] = 0x5C;
  for (const auto& byte : bytes) datagram.at(byte.first) = byte.second;
  return datagram;
}

inline Bytes ToBytes(const protocol::CommandDatagram& datagram) {
  return Bytes(datagram.begin(), datagram.end());
}

}  // namespace protocoltest
