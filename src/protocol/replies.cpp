#include "protocol/replies.h"

#include <algorithm>

#include "common/big_endian.h"
#include "common/cp932.h"
#include "protocol/notice_datagram.h"

namespace protocol {

namespace {

// The longest prefix of text within limit bytes that does not split a double-byte character.
std::size_t CharacterPrefix(const std::string& text, std::size_t limit) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t width =
        common::IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2
                                                                                           : 1;
    if (end + width > limit) break;
    end += width;
  }
  return end;
}

}  // namespace

int SetAck(CommandDatagram& reply, int requestCode) {
  reply[kParameterOffset] = static_cast<unsigned char>(requestCode & 0xFF);
  return kCodeAck;
}

int SetNak(CommandDatagram& reply, int requestCode, int reason) {
  reply[kParameterOffset] = static_cast<unsigned char>(requestCode & 0xFF);
  reply[kParameterOffset + 1] = static_cast<unsigned char>(reason & 0xFF);
  return kCodeNak;
}

int SetInformation(CommandDatagram& reply, int kind, int linkKind, int srvType,
                   const std::vector<std::string>& texts) {
  std::fill(reply.begin() + kDataOffset, reply.begin() + kDataOffset + kDataSize, 0);
  std::size_t used = 0;
  for (const std::string& text : texts) {
    // Each text needs its NUL, and the list one more at its end.
    if (used + 2 > kDataSize) break;
    const std::size_t room = kDataSize - used - 2;
    const std::size_t length = CharacterPrefix(text, room);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length),
              reply.begin() + static_cast<std::ptrdiff_t>(kDataOffset + used));
    used += length + 1;
    if (length < text.size()) break;
  }
  std::fill(reply.begin() + kParameterOffset, reply.end(), 0);
  reply[kParameterOffset] = static_cast<unsigned char>(linkKind & 0xFF);
  reply[kParameterOffset + 1] = 0xFF;
  reply[kParameterOffset + 2] = 0xFF;
  reply[kParameterOffset + 3] = static_cast<unsigned char>(srvType & 0xFF);
  reply[kParameterOffset + 4] = static_cast<unsigned char>(kind & 0xFF);
  return kCodeInformation;
}

int SetScheduleTimes(CommandDatagram& reply, std::uint32_t stop, std::uint32_t nextStart) {
  std::fill(reply.begin() + kParameterOffset, reply.end(), 0);
  common::PutBe32(&reply[kParameterOffset + 4], stop);
  common::PutBe32(&reply[kParameterOffset + 12], nextStart);
  return kCodeSchedule;
}

bool IsStatusDatagram(std::size_t size, int lastRequestCode) {
  return lastRequestCode == kCodeStartMonitoring &&
         (size == kShortStatusSize || size == kLongStatusSize);
}

std::vector<std::string> ReadDataTexts(const CommandDatagram& datagram) {
  std::vector<std::string> texts;
  std::size_t kept = 0;  // texts up to the last non-empty one
  std::string current;
  for (std::size_t i = kDataOffset; i < kDataOffset + kDataSize; ++i) {
    if (datagram[i] != 0) {
      current.push_back(static_cast<char>(datagram[i]));
      continue;
    }
    texts.push_back(current);
    if (!current.empty()) kept = texts.size();
    current.clear();
  }
  if (!current.empty()) {
    texts.push_back(current);
    kept = texts.size();
  }
  texts.resize(kept);
  return texts;
}

ClassifiedDatagram ClassifyDatagram(const unsigned char* bytes, std::size_t size,
                                    int lastRequestCode) {
  ClassifiedDatagram result;
  if (bytes == nullptr) return result;
  if (IsStatusDatagram(size, lastRequestCode)) {
    result.kind = ReplyKind::Status;
    result.status.assign(bytes, bytes + size);
    return result;
  }
  if (size != kDatagramSize) return result;

  CommandDatagram datagram;
  std::copy(bytes, bytes + kDatagramSize, datagram.begin());
  const ReceivedCommand received = UnscrambleDatagram(datagram.data(), datagram.size());
  result.code = received.code;
  result.time = received.time;
  const unsigned char* parameters = &datagram[kParameterOffset];
  switch (received.code) {
    case kCodeAck:
      result.kind = ReplyKind::Ack;
      result.requestCode = parameters[0];
      break;
    case kCodeNak:
      result.kind = ReplyKind::Nak;
      result.requestCode = parameters[0];
      result.reason = parameters[1];
      break;
    case kCodeInformation:
      result.kind = ReplyKind::Information;
      result.linkKind = parameters[0];
      result.srvType = parameters[3];
      result.infoKind = parameters[4];
      result.texts = ReadDataTexts(datagram);
      break;
    case kCodeSchedule:
      result.kind = ReplyKind::Schedule;
      result.schedStop = common::GetBe32(parameters + 4);
      result.schedNextStart = common::GetBe32(parameters + 12);
      break;
    default:
      result.kind = ReadNoticeEvent(datagram.data(), datagram.size(), &result.event)
                        ? ReplyKind::Notice
                        : ReplyKind::Other;
      break;
  }
  return result;
}

}  // namespace protocol
