// The byte protocol of the UPS on the serial line: frames, requests and the tests that accept a
// reply. A frame is STX, an ASCII payload, ETX and a check byte (the XOR of the payload and ETX).
// Every function here is bounded by the length it is given, whatever the bytes are.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace wardend {

class SrvLog;

constexpr unsigned char kStx = 0x02;
constexpr unsigned char kEtx = 0x03;

// Longest request BuildCommand writes: the seven-byte command-enable frame and a command frame
// with an eight-character parameter text.
constexpr std::size_t kRequestBufferSize = 32;

// The identification texts of an RA reply: series, model, third text, hardware and software
// version.
using IdentificationTexts = std::array<std::string, 5>;

// XOR of length bytes.
unsigned char FrameXor(const unsigned char* bytes, std::size_t length);

// Writes STX, the payload, ETX and the check byte to destination; returns length + 3.
std::size_t BuildFrame(const unsigned char* payload, std::size_t length,
                       unsigned char* destination);

// True when the request is sent behind the command-enable frame "Kwzq".
bool IsControlCommand(const std::string& name);

// Builds the request for a command into destination (kRequestBufferSize bytes) and returns its
// length. With control set, the command-enable frame comes first. The parameter text is formed
// from the two values by the command's format; parameters are clamped to what their digits can
// carry. A US request writes its two values to the log.
std::size_t BuildCommand(SrvLog& log, bool control, const std::string& name, int first,
                         int second, unsigned char* destination);

// True when the check byte is right; otherwise writes the "XORdataCheck" line. A length of 0 or
// 1 is accepted; a frame without ETX counts as having a check byte of 0.
bool CheckFrame(SrvLog& log, const unsigned char* frame, std::size_t length);

// Does this reply answer this command: a reply of the command's type digit for the read
// commands, else an eight-byte command-result reply echoing the command name.
bool ReplyMatches(const std::string& command, const unsigned char* frame, std::size_t length);

// The command name echoed by an accepting command-result reply, or empty (with a log line when
// the frame is not a command-result reply at all).
std::string ReplyResult(SrvLog& log, const unsigned char* frame, std::size_t length);

// The final acceptance of a transaction's reply. For RA the identification texts are stored in
// *identification; for RI the relay digits must agree with relayMode.
bool AcceptReply(SrvLog& log, const std::string& command, const unsigned char* frame,
                 std::size_t length, int relayMode, IdentificationTexts* identification);

// Index of the first ETX of frame[0..length), or length when there is none.
std::size_t FindEtx(const unsigned char* frame, std::size_t length);

}  // namespace wardend
