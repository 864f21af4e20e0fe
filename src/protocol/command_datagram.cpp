#include "protocol/command_datagram.h"

#include <cstring>

#include "common/big_endian.h"

namespace protocol {

unsigned char ScrambleCode(int code, std::uint32_t t) {
  return static_cast<unsigned char>((static_cast<std::uint32_t>(code) ^ (t & 0x7F)) & 0xFF);
}

std::uint32_t ScrambleTime(std::uint32_t t) { return (t ^ kTimeMask) - kTimeOffsetValue; }

std::uint32_t UnscrambleTime(std::uint32_t field) { return (field + kTimeOffsetValue) ^ kTimeMask; }

void CompleteHeader(CommandDatagram& datagram, std::uint32_t senderAddress, int code,
                    std::int64_t now) {
  std::memset(datagram.data(), 0, kHeaderSize);
  datagram[kMarkerOffset] = kMarker;
  common::PutBe32(&datagram[kSenderAddressOffset], senderAddress);
  std::memcpy(&datagram[kSignatureOffset], kSignature, sizeof kSignature);
  datagram[kTrailerOffset] = kTrailer;
  const std::uint32_t t = DatagramTime(now);
  datagram[kCodeOffset] = ScrambleCode(code, t);
  common::PutBe32(&datagram[kTimeOffset], ScrambleTime(t));
}

ReceivedCommand UnscrambleDatagram(const unsigned char* bytes, std::size_t size) {
  ReceivedCommand received;
  if (bytes == nullptr || size < kTimeOffset + 4) return received;
  received.time = UnscrambleTime(common::GetBe32(bytes + kTimeOffset));
  received.code = (bytes[kCodeOffset] ^ (received.time & 0x7F)) & 0xFF;
  return received;
}

}  // namespace protocol
