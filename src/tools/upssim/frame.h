// Frames of the UPS serial protocol as the simulated UPS sees them: STX, payload, ETX and a
// check byte that is the XOR of the payload bytes and the ETX.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace upssim {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
// Longest payload the simulator accepts; a real request is a few dozen bytes at most.
constexpr std::size_t kMaxPayload = 256;

// XOR of the payload bytes and the ETX.
unsigned char FrameCheck(const std::string& payload);

// STX payload ETX check; with corruptCheck the check byte is deliberately wrong.
std::string BuildFrame(const std::string& payload, bool corruptCheck = false);

// Cuts frames out of the received byte stream. Bytes outside a frame are noise and dropped; a
// frame whose check is wrong, or whose payload grows past kMaxPayload, is dropped whole. A frame
// may arrive split over several reads.
class FrameReader {
 public:
  // Returns the payloads of the frames completed by these bytes, in order of arrival.
  std::vector<std::string> Feed(const char* data, std::size_t length);
  // Frames dropped so far for a wrong check or an overlong payload.
  int rejected() const { return rejected_; }

 private:
  enum class Stage { Idle, Payload, Check };
  Stage stage_ = Stage::Idle;
  std::string payload_;
  int rejected_ = 0;
};

}  // namespace upssim
