// The serial line contract that both backends keep: the same cases run against the POSIX backend
// natively and against the Win32 backend under Wine, each time with the UPS simulator at the far
// end of the line (a pseudo-terminal, which Wine reaches as a mapped COM port).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/serial.h"

namespace testsupport {

struct SerialContractTarget {
  platform::SerialFactory* factory = nullptr;
  std::string portName;     // as configured: a device path or "COMn"
  std::string journalPath;  // the simulator's journal, as this process opens files
  // Sends one control line to the simulator and returns its answer line ("ok" when applied).
  std::function<std::string(const std::string&)> control;
  // Leaves the line as an earlier user of the port may have left it: XON/XOFF both ways and a
  // hardware handshake (on Windows also abort-on-error); true when that was done.
  std::function<bool()> presetFlowControl;
};

// STX payload ETX check.
std::string SerialFrame(const std::string& payload);
// True when frame is STX ... ETX check with the right check byte.
bool SerialFrameValid(const std::string& frame);

// Reads one byte at a time, dropping bytes before an STX, until a frame has come whole or
// totalMs has passed; returns what was gathered from the STX on.
std::string ReadSerialFrame(platform::SerialDevice& device, int totalMs);

// Opens and configures a device the way the link does (2400 bit/s, 8N1, read time-outs of
// 8 ms, a write bounded by one character time per byte plus a second); false (with a gtest
// failure) when any step fails.
bool OpenConfigured(const SerialContractTarget& target,
                    std::unique_ptr<platform::SerialDevice>* device);
// The close sequence of the link: write request, release, read request, port.
void CloseSequence(platform::SerialDevice& device);

// The lines of the simulator's journal that name command (the second word of a line).
int JournalCount(const std::string& journalPath, const std::string& command);
// True when a journal line records command with exactly this parameter (as journalled: bytes
// outside printable ASCII as \xNN).
bool JournalHasRequest(const std::string& journalPath, const std::string& command,
                       const std::string& parameter);

// The cases. Each adds gtest failures of its own.
void CheckConfigureRoundTrip(const SerialContractTarget& target);
// Parity and 7 data bits are accepted on the simulator's line (a pseudo-terminal, which itself
// stays at 8 bits without parity).
void CheckParityAccepted(const SerialContractTarget& target);
void CheckStatusTransaction(const SerialContractTarget& target);
void CheckControlTransaction(const SerialContractTarget& target);
// XON (0x11) and XOFF (0x13) pass both ways byte for byte: whatever flow control the line had
// before, the configured port takes no byte off the line.
void CheckFlowControlBytesPass(const SerialContractTarget& target);
void CheckReadTimeout(const SerialContractTarget& target);
void CheckReleaseEndsPendingWait(const SerialContractTarget& target);
void CheckClosePortEndsPendingWait(const SerialContractTarget& target);
void CheckMissingPortFails(platform::SerialFactory& factory, const std::string& missingName);

}  // namespace testsupport
