#include "platform/text.h"

#include "platform/win32/windows_support.h"

namespace platform {

// Windows shows CP932 text as it is in the Japanese code page.
std::string ToDisplayText(const std::string& cp932) { return cp932; }

bool UseConsoleCodePage() {
  constexpr UINT kJapanese = 932;
  const BOOL output = SetConsoleOutputCP(kJapanese);
  const BOOL input = SetConsoleCP(kJapanese);
  return output != FALSE && input != FALSE;
}

}  // namespace platform
