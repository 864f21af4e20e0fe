// The service's channel to the UPS: a serial line with a 1024-byte receive ring that the link's
// receive thread fills (PumpReceive), and the frame-level operations the link takes replies
// with (ReadFrame, Transact). Every failure is one line in the diagnostic log.
//
// Threads: the receive thread is the only writer of writeIndex and of the ring bytes; the one
// consumer at a time (Peek, Take, ReadFrame, Transact) is the only writer of readIndex. Close may
// run on another thread while the receive thread waits for a character.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "platform/event.h"
#include "platform/serial.h"

namespace platform {
class Clock;
}

namespace wardend {

class SrvLog;

class SerialPort {
 public:
  static constexpr int kRingSize = 1024;
  // Longest frame a transaction takes out of the ring; its buffers hold the frame and a zero.
  static constexpr std::size_t kMaxFrame = 512;
  static constexpr std::size_t kFrameBufferSize = kMaxFrame + 1;

  // device may be null (the system could not provide one): Open then fails as a missing port.
  SerialPort(std::unique_ptr<platform::SerialDevice> device, SrvLog& log, platform::Clock& clock);
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens and configures the port; true at once when it is open already. With quietRepeats a
  // port that cannot be opened for the same reason as last time is not reported again (a
  // missing device that is looked for every few seconds).
  bool Open(const std::string& name, int baudRate, int dataBits, const std::string& parity,
            int stopBits, bool quietRepeats = false);
  // Releases the port in its fixed order and releases a receive thread waiting for a character.
  // Always true.
  bool Close();
  // Ends a transaction in progress at once and refuses every request until the next Open; the
  // port stays held until Close. Any thread.
  void Abort();
  bool IsOpen() const { return isOpen_.load(std::memory_order_acquire); }
  // True once the device reported that it is gone (hang-up, removed adapter) since Open: the
  // port must be closed and opened afresh.
  bool LineGone() const { return lineGone_.load(); }
  // LineGone, true for one caller only per opening (the one that reports the loss).
  bool TakeLineGone() { return lineGone_.load() && !goneTaken_.exchange(true); }

  // Writes the whole request and waits until it has gone out. Always true.
  bool Write(const unsigned char* data, std::size_t length);

  // One receive cycle (receive thread): waits for a character and reads the burst into the
  // ring. -1 no port; 0 receiving was stopped by Close; 1 a burst was read (possibly empty).
  int PumpReceive();

  // Copy up to max unread bytes; Take also consumes them.
  std::size_t Peek(unsigned char* destination, std::size_t max);
  std::size_t Take(unsigned char* destination, std::size_t max);

  // Takes the next complete frame with a valid check byte into destination (kFrameBufferSize
  // bytes), followed by a zero byte; its length goes to *length when given. 1 a frame was
  // delivered; -1 ring empty; -2 no complete valid frame yet.
  int ReadFrame(unsigned char* destination, std::size_t* length = nullptr);

  // Writes request and waits for a valid reply to command (two letters), looking at the ring
  // after growing delays (300, 600, 1200, 2100 ms ...) until timeoutSeconds have passed; the
  // deadline is tested before each delay. Replies to other commands are consumed. reply has
  // kFrameBufferSize bytes. False on time-out (one log line) or when the port is closed.
  bool Transact(const std::string& command, int timeoutSeconds, const unsigned char* request,
                std::size_t requestLength, unsigned char* reply, std::size_t* replyLength);

  // Read time-out of the line in milliseconds: two character times at the rate the line runs at.
  static int ReadTimeoutMs(int lineRate);
  // Milliseconds one character (ten bits) takes at the rate the line runs at, rounded up.
  static int CharacterTimeMs(int lineRate);
  // The rate the line runs at for a configured rate: 1200, 4800 and 9600 as they are, else 2400.
  static int LineRate(int configuredRate);

 private:
  enum class Search { Empty, Noise, Incomplete, BadCheck, Frame };
  // Looks for a frame in the first max unread bytes. On Frame, *start and *length locate it in
  // buffer. Noise and bad frames are consumed; an incomplete frame is left in the ring.
  Search FindFrame(unsigned char* buffer, std::size_t max, std::size_t* start,
                   std::size_t* length);
  void Skip(std::size_t count);
  // Undoes a failed Open (both locks held).
  void ReleaseDevice();
  // Waits ms milliseconds; true when the port was closed meanwhile.
  bool WaitClosed(int ms);

  std::unique_ptr<platform::SerialDevice> device_;
  SrvLog& log_;
  platform::Clock& clock_;

  unsigned char receiveRing_[kRingSize] = {};
  std::atomic<int> readIndex_{0};
  std::atomic<int> writeIndex_{0};

  std::atomic<int> isOpen_{0};
  std::atomic<int> receiveEnabled_{1};
  std::atomic<bool> lineGone_{false};
  std::atomic<bool> goneTaken_{false};
  // Signalled while the port is closed, so that a transaction stops waiting when Close runs.
  platform::Event closed_{platform::EventReset::Manual, true};

  // Held by the receive thread for a whole cycle and by Open and Close around the device's
  // requests and port, so that neither is released under a running read.
  std::mutex deviceLock_;
  // Keeps Close from releasing the write request under a running write.
  std::mutex writeLock_;
  bool readRequestHeld_ = false;   // guarded by deviceLock_
  bool writeRequestHeld_ = false;  // guarded by writeLock_
  std::atomic<bool> portHeld_{false};  // written under deviceLock_
  bool waitFailureLogged_ = false;     // guarded by deviceLock_
  std::string lastOpenFailure_;        // Open's caller only
};

}  // namespace wardend
