#include "tools/upssim/line_writer.h"

#include <algorithm>

namespace upssim {

LineWriter::LineWriter(const LineOptions& options) : options_(options), random_(options.seed) {
  // 10 bits a byte (start, 8 data, stop); rounding up keeps the rate at or below the speed.
  if (options_.baud > 0) byteUs_ = (10LL * 1000000 + options_.baud - 1) / options_.baud;
}

void LineWriter::Queue(const std::string& bytes) {
  if (bytes.empty()) return;
  if (options_.splitGapMs >= 0 && bytes.size() >= 2) {
    const std::size_t half = bytes.size() / 2;
    parts_.push_back(Part{bytes.substr(0, half), 0, 0});
    parts_.push_back(Part{bytes.substr(half), 0, options_.splitGapMs * 1000LL});
  } else {
    parts_.push_back(Part{bytes, 0, 0});
  }
}

std::int64_t LineWriter::DueUs() const {
  if (parts_.empty()) return lineFreeUs_;
  const Part& part = parts_.front();
  return lineFreeUs_ + (part.sent == 0 ? part.gapUs : 0);
}

bool LineWriter::Lost() {
  if (options_.dropChance <= 0.0) return false;
  // 53 random bits as a fraction in [0, 1): a chance of 1 loses every byte.
  const double x = static_cast<double>(random_() >> 11) / 9007199254740992.0;
  return x < options_.dropChance;
}

std::string LineWriter::Take(std::int64_t nowUs) {
  std::string out;
  if (parts_.empty()) return out;
  const std::int64_t start = std::max(nowUs, DueUs());
  Part& part = parts_.front();
  const std::size_t count = byteUs_ > 0 ? 1 : part.bytes.size() - part.sent;
  for (std::size_t i = 0; i < count; ++i) {
    const char byte = part.bytes[part.sent + i];
    if (Lost()) {
      ++lostBytes_;
    } else {
      out += byte;
    }
  }
  part.sent += count;
  lineFreeUs_ = start + byteUs_ * static_cast<std::int64_t>(count);
  if (part.sent == part.bytes.size()) parts_.pop_front();
  return out;
}

}  // namespace upssim
