#include "tools/upssim/frame.h"

namespace upssim {

unsigned char FrameCheck(const std::string& payload) {
  unsigned char check = static_cast<unsigned char>(kEtx);
  for (char c : payload) check ^= static_cast<unsigned char>(c);
  return check;
}

std::string BuildFrame(const std::string& payload, bool corruptCheck) {
  unsigned char check = FrameCheck(payload);
  // Flipping every bit can never give the right value back.
  if (corruptCheck) check ^= 0xFF;
  std::string frame;
  frame.reserve(payload.size() + 3);
  frame += kStx;
  frame += payload;
  frame += kEtx;
  frame += static_cast<char>(check);
  return frame;
}

std::vector<std::string> FrameReader::Feed(const char* data, std::size_t length) {
  std::vector<std::string> frames;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = data[i];
    switch (stage_) {
      case Stage::Idle:
        if (c == kStx) {
          payload_.clear();
          stage_ = Stage::Payload;
        }
        break;
      case Stage::Payload:
        if (c == kStx) {
          // A payload never holds an STX: the earlier frame was cut off, this one starts anew.
          ++rejected_;
          payload_.clear();
        } else if (c == kEtx) {
          stage_ = Stage::Check;
        } else if (payload_.size() >= kMaxPayload) {
          ++rejected_;
          stage_ = Stage::Idle;
        } else {
          payload_ += c;
        }
        break;
      case Stage::Check:
        stage_ = Stage::Idle;
        if (static_cast<unsigned char>(c) == FrameCheck(payload_)) {
          frames.push_back(payload_);
        } else {
          ++rejected_;
        }
        break;
    }
  }
  return frames;
}

}  // namespace upssim
