#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace platform {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// iconv keeps shift state, so one converter is shared under a lock; it is opened once and kept
// for the life of the process.
struct Converter {
  std::mutex lock;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  Converter() { cd = iconv_open("UTF-8", "CP932"); }
  bool Valid() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

Converter& SharedConverter() {
  static Converter* converter = new Converter;  // never destroyed: used up to the last exit line
  return *converter;
}

// Without a CP932 converter only ASCII can be shown as it is.
std::string AsciiOnly(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) out += static_cast<char>(c);
    else out += kReplacement;
  }
  return out;
}

}  // namespace

std::string ToDisplayText(const std::string& cp932) {
  Converter& converter = SharedConverter();
  if (!converter.Valid()) return AsciiOnly(cp932);
  std::lock_guard<std::mutex> guard(converter.lock);
  iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);  // initial state

  std::string out;
  char* in = const_cast<char*>(cp932.data());
  std::size_t inLeft = cp932.size();
  char buffer[256];
  while (inLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const std::size_t result = iconv(converter.cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (result != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;  // buffer full: drain and go on
    // EILSEQ: a byte that starts no CP932 character; EINVAL: a lead byte cut off at the end.
    out += kReplacement;
    ++in;
    --inLeft;
    iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

// The terminal takes the UTF-8 that ToDisplayText gives.
bool UseConsoleCodePage() { return true; }

}  // namespace platform
