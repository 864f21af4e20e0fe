#include "protocol/replies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datagram_bytes.h"
#include "protocol/notice_datagram.h"
#include "protocol/requests.h"

namespace {

using protocol::ClassifiedDatagram;
using protocol::CommandDatagram;
using protocol::ReplyKind;
using protocoltest::Bytes;
using protocoltest::Datagram;
using protocoltest::kSender;
using protocoltest::kSendTime;
using protocoltest::ToBytes;

CommandDatagram Complete(CommandDatagram reply, int code) {
  protocol::CompleteHeader(reply, kSender, code, kSendTime);
  return reply;
}

ClassifiedDatagram Classify(const CommandDatagram& datagram, int lastRequest = 8) {
  return protocol::ClassifyDatagram(datagram.data(), datagram.size(), lastRequest);
}

TEST(Replies, AckAndNakByteForByte) {
  CommandDatagram ack{};
  const CommandDatagram sentAck = Complete(ack, protocol::SetAck(ack, 7));
  // 92 XOR 0x78 = 0x24; byte 120 = 7.
  EXPECT_EQ(Datagram({{113, 0x24}, {120, 0x07}}), ToBytes(sentAck));

  CommandDatagram nak{};
  const CommandDatagram sentNak = Complete(nak, protocol::SetNak(nak, 17, 3));
  // 93 XOR 0x78 = 0x25; byte 120 = 17, byte 121 = reason 3.
  EXPECT_EQ(Datagram({{113, 0x25}, {120, 0x11}, {121, 0x03}}), ToBytes(sentNak));

  const ClassifiedDatagram readAck = Classify(sentAck);
  EXPECT_EQ(ReplyKind::Ack, readAck.kind);
  EXPECT_EQ(7, readAck.requestCode);
  EXPECT_EQ(static_cast<std::uint32_t>(kSendTime), readAck.time);
  const ClassifiedDatagram readNak = Classify(sentNak);
  EXPECT_EQ(ReplyKind::Nak, readNak.kind);
  EXPECT_EQ(17, readNak.requestCode);
  EXPECT_EQ(3, readNak.reason);
}

TEST(Replies, InformationByteForByte) {
  CommandDatagram reply{};
  const int code = protocol::SetInformation(reply, 1, 150, 1,
                                            {"AT互換機", "WindowsXP", "5.1 Service Pack 2"});
  const CommandDatagram sent = Complete(reply, code);
  // "AT互換機" in CP932: 41 54 8C DD 8A B7 8B 40.
  Bytes expected = Datagram({{113, 0x70},  // 8 XOR 0x78
                             {28, 'A'}, {29, 'T'}, {30, 0x8C}, {31, 0xDD}, {32, 0x8A},
                             {33, 0xB7}, {34, 0x8B}, {35, 0x40}, {36, 0x00},
                             {120, 0x96}, {121, 0xFF}, {122, 0xFF}, {123, 0x01}, {124, 0x01}});
  const std::string rest = std::string("WindowsXP") + '\0' + "5.1 Service Pack 2";
  for (std::size_t i = 0; i < rest.size(); ++i) {
    expected[37 + i] = static_cast<unsigned char>(rest[i]);
  }
  EXPECT_EQ(expected, ToBytes(sent));

  const ClassifiedDatagram read = Classify(sent);
  EXPECT_EQ(ReplyKind::Information, read.kind);
  EXPECT_EQ(1, read.infoKind);
  EXPECT_EQ(150, read.linkKind);
  EXPECT_EQ(1, read.srvType);
  EXPECT_EQ((std::vector<std::string>{"AT互換機", "WindowsXP", "5.1 Service Pack 2"}),
            read.texts);
}

TEST(Replies, InformationTextsAreCutToTheDataAreaOnACharacterBoundary) {
  struct Case {
    const char* name;
    std::vector<std::string> texts;
    std::vector<std::string> read;
  };
  const std::string wide(50, 'w');
  // 41 two-byte characters: 82 bytes, one more than room for the text's NUL and the list's.
  std::string kanji;
  for (int i = 0; i < 41; ++i) kanji += "漢";
  const Case cases[] = {
      {"exactly fits", {std::string(82, 'a')}, {std::string(82, 'a')}},
      {"one too long", {std::string(83, 'a')}, {std::string(82, 'a')}},
      {"second text cut, third left out", {wide, wide, "x"}, {wide, std::string(31, 'w')}},
      {"no half character", {"a" + kanji}, {"a" + kanji.substr(0, 80)}},
      {"empty text keeps its place", {"model", "", "series"}, {"model", "", "series"}},
      {"no texts", {}, {}},
  };
  for (const Case& c : cases) {
    CommandDatagram reply{};
    reply.fill(0xEE);  // the area is rewritten whole
    const CommandDatagram sent =
        Complete(reply, protocol::SetInformation(reply, 0, 150, 0, c.texts));
    EXPECT_EQ(0, sent[111]) << c.name;  // the list's own NUL always fits
    EXPECT_EQ(c.read, Classify(sent).texts) << c.name;
    for (std::size_t i = 125; i < 136; ++i) EXPECT_EQ(0, sent[i]) << c.name << " byte " << i;
  }
}

TEST(Replies, ScheduleByteForByte) {
  CommandDatagram reply{};
  // Stop 2007-01-01 01:00:00 (0x45985D10); next start unset (1999999995 = 0x773593FB).
  const CommandDatagram sent =
      Complete(reply, protocol::SetScheduleTimes(reply, 1167613200, 1999999995));
  EXPECT_EQ(Datagram({{113, 0x68},  // 16 XOR 0x78
                      {124, 0x45}, {125, 0x98}, {126, 0x5D}, {127, 0x10},
                      {132, 0x77}, {133, 0x35}, {134, 0x93}, {135, 0xFB}}),
            ToBytes(sent));
  const ClassifiedDatagram read = Classify(sent);
  EXPECT_EQ(ReplyKind::Schedule, read.kind);
  EXPECT_EQ(1167613200u, read.schedStop);
  EXPECT_EQ(1999999995u, read.schedNextStart);
}

TEST(Replies, StatusDatagramsAreToldByLengthAfterCodeSix) {
  const std::vector<unsigned char> status(64, 0x41);
  struct Case {
    std::size_t size;
    int lastRequest;
    ReplyKind kind;
  };
  const Case cases[] = {
      {42, 6, ReplyKind::Status},   {64, 6, ReplyKind::Status},  {64, 8, ReplyKind::Invalid},
      {63, 6, ReplyKind::Invalid},  {0, 6, ReplyKind::Invalid},  {120, 6, ReplyKind::Invalid},
  };
  for (const Case& c : cases) {
    const ClassifiedDatagram read =
        protocol::ClassifyDatagram(status.data(), c.size, c.lastRequest);
    EXPECT_EQ(c.kind, read.kind) << c.size << " after " << c.lastRequest;
    if (c.kind == ReplyKind::Status) {
      EXPECT_EQ(c.size, read.status.size());
    }
  }
  // A 136-byte datagram is a command datagram even after code 6.
  EXPECT_EQ(ReplyKind::Nak,
            Classify(protocol::BuildBareRequest(93, kSendTime, kSender), 6).kind);
}

TEST(Replies, NoticesAndOtherCodes) {
  const ClassifiedDatagram notice =
      Classify(protocol::BuildNoticeDatagram(107, kSendTime, kSender));
  EXPECT_EQ(ReplyKind::Notice, notice.kind);
  EXPECT_EQ(107, notice.event);
  const ClassifiedDatagram other = Classify(protocol::BuildBareRequest(9, kSendTime, kSender));
  EXPECT_EQ(ReplyKind::Other, other.kind);
  EXPECT_EQ(9, other.code);
}

}  // namespace
