#include "tools/upssim/parameters.h"

namespace upssim {

namespace {

bool AllDigits(const std::string& text, std::size_t length) {
  if (text.size() != length) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Number(const std::string& text, std::size_t from, std::size_t length) {
  int value = 0;
  for (std::size_t i = from; i < from + length; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

bool ParseUp(const std::string& text, std::array<OutputAction, 2>* actions) {
  if (text.size() != 2) return false;
  std::array<OutputAction, 2> parsed{};
  for (std::size_t i = 0; i < 2; ++i) {
    switch (text[i]) {
      case '0': parsed[i] = OutputAction::Leave; break;
      case '1': parsed[i] = OutputAction::On; break;
      case '2': parsed[i] = OutputAction::Off; break;
      case '3': parsed[i] = OutputAction::OffAndRestart; break;
      default: return false;
    }
  }
  *actions = parsed;
  return true;
}

bool ParseVp(const std::string& text, int* relayMode) {
  static const char* const kCodes[] = {"00", "30", "03", "33"};
  for (int mode = 0; mode < 4; ++mode) {
    if (text == kCodes[mode]) {
      *relayMode = mode;
      return true;
    }
  }
  return false;
}

bool ParseVn(const std::string& text, int* onTens, int* offTens) {
  if (!AllDigits(text, 6)) return false;
  *onTens = Number(text, 0, 3);
  *offTens = Number(text, 3, 3);
  return true;
}

bool ParseUs(const std::string& text, int* offTens, int* restartMinutes) {
  if (!AllDigits(text, 8)) return false;
  *offTens = Number(text, 0, 3);
  *restartMinutes = Number(text, 3, 5);
  return true;
}

bool ParseUm(const std::string& text) { return text == "0"; }

char RelayDigit(int relayMode, int output) {
  const bool controlled = output == 1 ? (relayMode == 1 || relayMode == 3)
                                      : (relayMode == 2 || relayMode == 3);
  return controlled ? '3' : '0';
}

}  // namespace upssim
