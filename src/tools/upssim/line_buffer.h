// Splits a byte stream into control lines. A line longer than kMaxLine is reported as overlong
// instead of growing without bound.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace upssim {

struct ControlLine {
  std::string text;  // without "\n" or "\r\n"
  bool overlong = false;
};

class LineBuffer {
 public:
  static constexpr std::size_t kMaxLine = 1024;
  std::vector<ControlLine> Feed(const char* data, std::size_t length);

 private:
  std::string pending_;
  bool discarding_ = false;  // inside an overlong line, until its end
};

}  // namespace upssim
