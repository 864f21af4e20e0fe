#include "protocol/notice_datagram.h"

namespace protocol {

CommandDatagram BuildNoticeDatagram(int event, std::int64_t now, std::uint32_t senderAddress) {
  CommandDatagram datagram{};
  datagram[kDataOffset] = kNoticeKind;
  datagram[kDataOffset + 1] = static_cast<unsigned char>(event & 0xFF);
  CompleteHeader(datagram, senderAddress, kCodeNotice, now);
  return datagram;
}

bool ReadNoticeEvent(const unsigned char* bytes, std::size_t size, int* event) {
  if (UnscrambleDatagram(bytes, size).code != kCodeNotice) return false;
  if (bytes[kDataOffset] != kNoticeKind) return false;
  *event = bytes[kDataOffset + 1];
  return true;
}

}  // namespace protocol
