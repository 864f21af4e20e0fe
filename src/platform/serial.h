// Serial line facility: the operations the serial port of the UPS link needs, one per system
// call of the Windows serial interface. The port logic (ring, framing, time-outs, retries, the
// diagnostic lines) lives above this seam and does not depend on the system.
//
// Windows: overlapped CreateFileA, Get/SetCommState, SetCommTimeouts, SetCommMask,
// WaitCommEvent, overlapped one-byte ReadFile and whole WriteFile.
// Linux: termios on the configured device ("COMn" maps to /dev/ttyS(n-1)), read time-outs
// equivalent to the interval/total time-outs, poll() with a wake-up pipe for the wait.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

enum class Parity { None, Odd, Even };

// The four fields of the driver's line settings that the link changes; the backend keeps every
// other field as the driver reported it.
struct LineSettings {
  int baudRate = 0;
  int dataBits = 0;
  Parity parity = Parity::None;
  int stopBits = 1;  // 1 or 2
};

// Milliseconds, as COMMTIMEOUTS.
struct SerialTimeouts {
  int readInterval = 0;
  int readTotalMultiplier = 0;
  int readTotalConstant = 0;
  int writeTotalMultiplier = 0;
  int writeTotalConstant = 0;
};

// Every int result below is 0 for success or the system's error number.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Creates the read and write request events (auto-reset write, manual-reset read).
  virtual int CreateRequests() = 0;
  // Opens the port by its configured name for exclusive read/write; false when it cannot be
  // opened, with the system's error number in *error (0 when the name itself is unusable).
  virtual bool OpenPort(const std::string& name, int* error) = 0;
  virtual int GetLineSettings(LineSettings* settings) = 0;
  virtual int SetLineSettings(const LineSettings& settings) = 0;
  virtual int SetTimeouts(const SerialTimeouts& timeouts) = 0;

  // Sets the character-received mask and blocks until a character has arrived or the wait is
  // released by ReleaseWait from another thread.
  virtual int WaitForCharacter() = 0;
  // Sets the event mask to 0, which releases a pending WaitForCharacter.
  virtual int ReleaseWait() = 0;
  // Reads at most one byte, bounded by the read time-outs: 1 a byte was read, 0 none arrived
  // (time-out, or the request failed at once).
  virtual int ReadByte(unsigned char* byte) = 0;
  // Writes the whole request and waits until it has gone out; the write time-outs (multiplier
  // per byte plus constant, both 0: no limit) bound the wait (what has not gone out by then is
  // dropped), and ReleaseWait, CloseWriteRequest or ClosePort on another thread end it.
  virtual void Write(const unsigned char* data, std::size_t length) = 0;

  // The three releases of the close sequence, each 0 or the system's error number.
  virtual int CloseWriteRequest() = 0;
  virtual int CloseReadRequest() = 0;
  virtual int ClosePort() = 0;
};

class SerialFactory {
 public:
  virtual ~SerialFactory() = default;
  virtual std::unique_ptr<SerialDevice> Create() = 0;
};

SerialFactory& SystemSerialFactory();

// True when a serial error says the device itself is gone (hang-up, removed adapter): the port
// must be opened afresh.
bool SerialDeviceGone(int error);

// The system's name of the device a configured port name opens ("COM3" is /dev/ttyS2 on Linux
// and \\.\COM3 on Windows); empty when the name can name no device.
std::string SerialDevicePath(const std::string& portName);

}  // namespace platform
