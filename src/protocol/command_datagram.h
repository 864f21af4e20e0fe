// The 136-byte command datagram of the UDP protocol, shared by the service and every client:
// requests, replies and notices. The code and the send time travel scrambled with the sender's
// clock; the markers are written for the reader's eye and never tested on receipt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

constexpr std::size_t kDatagramSize = 136;

// Offsets of the fields; every byte not named here is 0.
constexpr std::size_t kMarkerOffset = 0;          // '#'
constexpr std::size_t kSenderAddressOffset = 1;   // 4 bytes, IPv4 in network order
constexpr std::size_t kSignatureOffset = 5;       // ":MSGCOMMND" and its NUL, 11 bytes
constexpr std::size_t kHeaderSize = 28;           // bytes 0..27, rebuilt on every send
constexpr std::size_t kDataOffset = 28;           // NUL-terminated texts or notice data
constexpr std::size_t kDataSize = 84;
constexpr std::size_t kTrailerOffset = 112;       // 't'
constexpr std::size_t kCodeOffset = 113;          // code, scrambled
constexpr std::size_t kSelectorOffset = 114;      // request parameter byte of the client
constexpr std::size_t kTimeOffset = 116;          // send time, scrambled, big-endian
constexpr std::size_t kParameterOffset = 120;     // request parameters or reply results
constexpr std::size_t kParameterSize = 16;

constexpr unsigned char kMarker = '#';
constexpr unsigned char kTrailer = 't';
constexpr char kSignature[] = ":MSGCOMMND";

// Scrambling keys of the send time.
constexpr std::uint32_t kTimeMask = 0x2B6E4A19;
constexpr std::uint32_t kTimeOffsetValue = 4602117;

// Codes of byte 113 (unscrambled).
constexpr int kCodeStartMonitoring = 6;
constexpr int kCodeStopMonitoring = 7;
constexpr int kCodeInformation = 8;
constexpr int kCodeReloadTab = 11;
constexpr int kCodeSchedule = 16;
constexpr int kCodeUpshut = 17;
constexpr int kCodeNotice = 19;
constexpr int kCodeSelfTest = 40;
constexpr int kCodeAck = 92;
constexpr int kCodeNak = 93;

// Reasons in byte 121 of a NAK.
constexpr int kReasonNone = 0;           // a NAK received as a request is refused with no reason
constexpr int kReasonNoAccess = 1;       // upshut without the 'J' 'Q' signature
constexpr int kReasonRefused = 2;        // timer off; self-test not started; monitoring refused
                                         // or the service not ready (code 6, any request)
constexpr int kReasonTimes = 3;          // upshut: restart before the shutdown
constexpr int kReasonBusy = 4;           // shutdown in progress; Reload_Tab could not read
constexpr int kReasonNotNormal = 5;      // self-test: the UPS is not in the normal state
// Ours: a command that changes something (11, 17, 40) came from a host that commandhosts of
// [upstab] does not list. Only services with that key set give it.
constexpr int kReasonHostNotAllowed = 6;

using CommandDatagram = std::array<unsigned char, kDatagramSize>;

// The code byte as sent at time t: code XOR the low seven bits of t.
unsigned char ScrambleCode(int code, std::uint32_t t);
// The time field as sent: (t XOR kTimeMask) - kTimeOffsetValue, modulo 2^32.
std::uint32_t ScrambleTime(std::uint32_t t);
// The sender's time from a received time field.
std::uint32_t UnscrambleTime(std::uint32_t field);

// The 32-bit time a datagram carries for wall time now (seconds since 1970).
inline std::uint32_t DatagramTime(std::int64_t now) { return static_cast<std::uint32_t>(now); }

// Completes a datagram whose data and parameters are set: bytes 0..27 are cleared and filled
// ('#', the sender's address, ":MSGCOMMND"), byte 112 is 't', and the code and the time are
// scrambled with now. senderAddress is IPv4 in host order (192.168.1.10 is 0xC0A8010A).
void CompleteHeader(CommandDatagram& datagram, std::uint32_t senderAddress, int code,
                    std::int64_t now);

// What a receiver reads from a command datagram.
struct ReceivedCommand {
  int code = 0;            // 0: not a command
  std::uint32_t time = 0;  // the sender's clock
};

// Unscrambles code and time in unsigned 32-bit arithmetic, so that any field, hostile ones
// included, gives a time and a code 0..255. A datagram too short to hold the time field is no
// command (code 0); bytes past size are never read.
ReceivedCommand UnscrambleDatagram(const unsigned char* bytes, std::size_t size);

}  // namespace protocol
