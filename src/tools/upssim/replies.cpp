#include "tools/upssim/replies.h"

#include <cstdio>

#include "tools/upssim/parameters.h"

namespace upssim {

namespace {

std::string Field(const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, ' ');
  return field;
}

}  // namespace

std::string CommandResultPayload(char resultDigit, const std::string& command) {
  // Position 3 carries no meaning for the service; "F" is what the UPS sends there.
  return std::string("C") + resultDigit + "F" + Field(command, 2);
}

std::string IdentificationPayload(const Identification& id) {
  return "1" + Field(id.series, 30) + Field(id.model, 20) + Field(id.third, 15) +
         Field(id.hardware, 10) + Field(id.software, 10);
}

std::string RelayPayload(int relayMode) {
  // Positions 2-9 are not read by the service.
  return std::string("9") + "00000000" + "11" + RelayDigit(relayMode, 1) + RelayDigit(relayMode, 2);
}

std::string StatusPayload(const std::string& statusText) { return "4" + statusText; }

bool MeasurementFits(int v) { return v >= -999 && v <= 9999; }

std::string MeasurementPayload(const Measurements& values) {
  std::string payload = "3";
  for (int v : values) {
    char field[16];
    if (!MeasurementFits(v)) v = 0;
    std::snprintf(field, sizeof field, v < 0 ? "%4d" : "%04d", v);
    payload += field;
  }
  return payload;
}

std::string SelfTestPayload(int result) {
  return std::string("B0") + static_cast<char>('0' + result);
}

}  // namespace upssim
