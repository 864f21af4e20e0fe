// What the simulated line does to the bytes the UPS sends, on request: a line speed that paces
// every byte (10 bits a byte), replies written in two parts with a gap between, and bytes lost
// at random from a seed. Time is passed in (real microseconds), so the schedule is testable
// without waiting; the I/O loop writes what Take hands out.
#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace upssim {

struct LineOptions {
  int baud = 0;             // bits per second; 0: bytes go as fast as the line takes them
  int splitGapMs = -1;      // >= 0: every reply goes in two parts this far apart
  double dropChance = 0.0;  // probability that a byte is lost, 0..1
  std::uint64_t seed = 0;   // of the losses
};

class LineWriter {
 public:
  explicit LineWriter(const LineOptions& options);

  // Queues one reply (framed bytes) behind the ones still waiting.
  void Queue(const std::string& bytes);
  bool Idle() const { return parts_.empty(); }
  // When the next bytes may go (only when not idle).
  std::int64_t DueUs() const;
  // The bytes to write at nowUs (not before DueUs): one byte when paced, else the rest of the
  // current part; lost bytes are left out, so the result may be empty. A lost byte still takes
  // its time on a paced line.
  std::string Take(std::int64_t nowUs);
  // Forgets everything queued (a line that takes nothing).
  void Clear() { parts_.clear(); }
  int lostBytes() const { return lostBytes_; }

 private:
  struct Part {
    std::string bytes;
    std::size_t sent = 0;
    std::int64_t gapUs = 0;  // after the previous part's last byte
  };
  bool Lost();

  LineOptions options_;
  std::int64_t byteUs_ = 0;  // time of one byte on a paced line, rounded up
  std::deque<Part> parts_;
  std::int64_t lineFreeUs_ = 0;  // when the last byte handed out has left the line
  std::mt19937_64 random_;
  int lostBytes_ = 0;
};

}  // namespace upssim
