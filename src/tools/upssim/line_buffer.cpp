#include "tools/upssim/line_buffer.h"

namespace upssim {

std::vector<ControlLine> LineBuffer::Feed(const char* data, std::size_t length) {
  std::vector<ControlLine> lines;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = data[i];
    if (c == '\n') {
      if (discarding_) {
        lines.push_back({std::string(), true});
      } else {
        if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
        lines.push_back({pending_, false});
      }
      pending_.clear();
      discarding_ = false;
    } else if (!discarding_) {
      if (pending_.size() >= kMaxLine) {
        pending_.clear();
        discarding_ = true;
      } else {
        pending_ += c;
      }
    }
  }
  return lines;
}

}  // namespace upssim
