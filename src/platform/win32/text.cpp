#include "platform/text.h"

namespace platform {

// Windows shows CP932 text as it is in the Japanese code page.
std::string ToDisplayText(const std::string& cp932) { return cp932; }

}  // namespace platform
