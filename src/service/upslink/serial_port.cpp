#include "service/upslink/serial_port.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/cp932.h"
#include "platform/clock.h"
#include "platform/system_error.h"
#include "service/host/srv_log.h"
#include "service/upslink/frame_codec.h"

namespace wardend {

namespace {

// A burst ends after this many one-byte reads in a row that brought nothing.
constexpr int kIdleReadsPerBurst = 5;
// Unread bytes a status take or a transaction looks at, at most.
constexpr std::size_t kFrameWindow = 256;
// The first look at the ring after a request, and the longest wait between two looks (so that
// a very long configured wait still looks at least once a minute).
constexpr int kFirstDelayMs = 300;
constexpr std::int64_t kLongestDelayMs = 60000;
// What a write may take beyond its characters' time on the line.
constexpr int kWriteSlackMs = 1000;

// The k-th delay of a transaction (k from 1): 300, 600, 1200, 2100, 3300, 4800 ms ...
int TransactionDelayMs(int k) {
  const std::int64_t steps = 1 + static_cast<std::int64_t>(k) * (k - 1) / 2;
  return static_cast<int>(std::min<std::int64_t>(300 * steps, kLongestDelayMs));
}

platform::Parity ParityOf(const std::string& text) {
  if (common::MbsIEqual(text, "odd")) return platform::Parity::Odd;
  if (common::MbsIEqual(text, "even")) return platform::Parity::Even;
  return platform::Parity::None;
}

}  // namespace

SerialPort::SerialPort(std::unique_ptr<platform::SerialDevice> device, SrvLog& log,
                       platform::Clock& clock)
    : device_(std::move(device)), log_(log), clock_(clock) {}

SerialPort::~SerialPort() {
  if (portHeld_.load() || IsOpen()) Close();
}

int SerialPort::LineRate(int configuredRate) {
  switch (configuredRate) {
    case 1200:
    case 4800:
    case 9600:
      return configuredRate;
    default:
      return 2400;
  }
}

int SerialPort::CharacterTimeMs(int lineRate) {
  // Ten bits a character, rounded up.
  const int rate = LineRate(lineRate);
  return (10000 + rate - 1) / rate;
}

int SerialPort::ReadTimeoutMs(int lineRate) {
  // Taken from the rate the line really runs at: a configured rate the line does not support
  // runs at 2400 bit/s, and one above 10000 would give 0 ms, which means no time-out at all and
  // a burst that never ends.
  const int rate = LineRate(lineRate);
  return 2 * (1000 / (rate / 10));
}

bool SerialPort::Open(const std::string& name, int baudRate, int dataBits,
                      const std::string& parity, int stopBits, bool quietRepeats) {
  if (IsOpen()) return true;
  if (!device_) {
    log_.Write("COMポート：CreateFile(Error[INVALID_HANDLE_VALUE])");
    return false;
  }
  std::lock_guard<std::mutex> deviceGuard(deviceLock_);
  std::lock_guard<std::mutex> writeGuard(writeLock_);

  const int created = device_->CreateRequests();
  readRequestHeld_ = writeRequestHeld_ = true;  // either may exist even when one failed
  if (created != 0) {
    log_.WriteError("COMポート：CreateEvent(Error[", created, "])");
    ReleaseDevice();
    return false;
  }
  int openError = 0;
  if (!device_->OpenPort(name, &openError)) {
    // The first line names neither the port nor the cause; the administrator needs both.
    const std::string device = platform::SerialDevicePath(name);
    const std::string reason =
        device.empty()
            ? "COMポート：[" + name + "]はポート名として使えません"
            : "COMポート：" + device + "を開けません(Error[" + std::to_string(openError) + "] " +
                  platform::SystemErrorText(openError) + ")";
    if (!quietRepeats || reason != lastOpenFailure_) {
      log_.Write("COMポート：CreateFile(Error[INVALID_HANDLE_VALUE])");
      log_.Write(reason);
    }
    lastOpenFailure_ = reason;
    ReleaseDevice();
    return false;
  }
  lastOpenFailure_.clear();
  portHeld_.store(true);

  platform::LineSettings settings;
  int error = device_->GetLineSettings(&settings);
  if (error != 0) {
    log_.WriteError("COMポート：GetCommState(Error[", error, "])");
    ReleaseDevice();
    return false;
  }
  settings.baudRate = LineRate(baudRate);
  if (dataBits == 7 || dataBits == 8) settings.dataBits = dataBits;
  settings.parity = ParityOf(parity);
  if (stopBits == 1 || stopBits == 2) settings.stopBits = stopBits;
  error = device_->SetLineSettings(settings);
  if (error != 0) {
    log_.WriteError("COMポート：SetCommState(Error[", error, "])");
    ReleaseDevice();
    return false;
  }

  platform::SerialTimeouts timeouts;
  timeouts.readInterval = ReadTimeoutMs(baudRate);
  timeouts.readTotalConstant = timeouts.readInterval;
  // A write that the line does not take (flow control left on by a driver, a stalled adapter)
  // must not hold the link for ever: one character time per byte and a second on top.
  timeouts.writeTotalMultiplier = CharacterTimeMs(baudRate);
  timeouts.writeTotalConstant = kWriteSlackMs;
  error = device_->SetTimeouts(timeouts);
  if (error != 0) {
    log_.WriteError("COMポート：SetCommTimeouts(Error[", error, "])");
    ReleaseDevice();
    return false;
  }

  readIndex_.store(0, std::memory_order_relaxed);
  writeIndex_.store(0, std::memory_order_relaxed);
  receiveEnabled_.store(1);
  lineGone_.store(false);
  goneTaken_.store(false);
  waitFailureLogged_ = false;
  closed_.Reset();
  isOpen_.store(1, std::memory_order_release);
  return true;
}

void SerialPort::ReleaseDevice() {
  // Undoing a failed open: the failure that caused it has been reported, and a release that
  // fails here leaves nothing that a later Open would trip over.
  if (writeRequestHeld_) static_cast<void>(device_->CloseWriteRequest());
  if (readRequestHeld_) static_cast<void>(device_->CloseReadRequest());
  if (portHeld_.load()) static_cast<void>(device_->ClosePort());
  writeRequestHeld_ = readRequestHeld_ = false;
  portHeld_.store(false);
}

bool SerialPort::Close() {
  isOpen_.store(0, std::memory_order_release);
  {
    std::lock_guard<std::mutex> guard(writeLock_);
    if (writeRequestHeld_) {
      const int error = device_->CloseWriteRequest();
      if (error != 0) log_.WriteError("シリアル終了：CloseHandle(Error[m_hEvWrite", error, "])");
      writeRequestHeld_ = false;
    }
  }
  receiveEnabled_.store(0);

  std::unique_lock<std::mutex> deviceGuard(deviceLock_, std::defer_lock);
  if (portHeld_.load()) {
    // Release the receive thread's wait for a character. A release that comes before the wait
    // has begun is forgotten by the system, so it is repeated until the receive thread has left
    // the device.
    bool logged = false;
    for (;;) {
      const int error = device_->ReleaseWait();
      if (error != 0 && !logged) {
        log_.WriteError("シリアル終了：SetCommMask(Error[", error, "])");
        logged = true;
      }
      if (deviceGuard.try_lock()) break;
      clock_.SleepMs(1);
    }
  } else {
    deviceGuard.lock();
  }
  if (readRequestHeld_) {
    const int error = device_->CloseReadRequest();
    if (error != 0) log_.WriteError("シリアル終了：CloseHandle(Error[m_hEvRead", error, "])");
    readRequestHeld_ = false;
  }
  if (portHeld_.load()) {
    const int error = device_->ClosePort();
    if (error != 0) log_.WriteError("シリアル終了：CloseHandle(Error[m_hComm", error, "])");
    portHeld_.store(false);
  }
  lineGone_.store(false);  // the next device behind the name is a new one
  goneTaken_.store(false);
  deviceGuard.unlock();
  closed_.Set();
  return true;
}

void SerialPort::Abort() {
  isOpen_.store(0, std::memory_order_release);
  closed_.Set();
}

bool SerialPort::Write(const unsigned char* data, std::size_t length) {
  std::lock_guard<std::mutex> guard(writeLock_);
  if (IsOpen() && length > 0) device_->Write(data, length);
  return true;
}

int SerialPort::PumpReceive() {
  std::lock_guard<std::mutex> guard(deviceLock_);
  if (!IsOpen()) return -1;
  if (!receiveEnabled_.load()) return 0;
  const int error = device_->WaitForCharacter();
  if (!receiveEnabled_.load()) return 0;
  if (error != 0) {
    // A wait that fails at once would make the receive thread spin; it is paced like a missing
    // port instead, and reported once per opening.
    if (!waitFailureLogged_) {
      log_.WriteError("COMポート：WaitCommEvent(Error[", error, "])");
      waitFailureLogged_ = true;
    }
    if (platform::SerialDeviceGone(error)) lineGone_.store(true);
    return -1;
  }

  int p = writeIndex_.load(std::memory_order_relaxed);
  int idle = 0;
  while (idle < kIdleReadsPerBurst && receiveEnabled_.load(std::memory_order_relaxed)) {
    unsigned char byte = 0;
    const bool got = device_->ReadByte(&byte) == 1;
    const int next = (p + 1) % kRingSize;
    if (got && next != readIndex_.load(std::memory_order_acquire)) {
      receiveRing_[p] = byte;
      p = next;
      idle = 0;
    } else {
      ++idle;  // nothing came, or the ring is full and the byte is lost
    }
  }
  writeIndex_.store(p, std::memory_order_release);
  return 1;
}

std::size_t SerialPort::Peek(unsigned char* destination, std::size_t max) {
  int r = readIndex_.load(std::memory_order_relaxed);
  const int w = writeIndex_.load(std::memory_order_acquire);
  std::size_t n = 0;
  while (r != w && n < max) {
    destination[n++] = receiveRing_[r];
    r = (r + 1) % kRingSize;
  }
  return n;
}

std::size_t SerialPort::Take(unsigned char* destination, std::size_t max) {
  const std::size_t n = Peek(destination, max);
  Skip(n);
  return n;
}

void SerialPort::Skip(std::size_t count) {
  const int r = readIndex_.load(std::memory_order_relaxed);
  const int w = writeIndex_.load(std::memory_order_acquire);
  const std::size_t available = static_cast<std::size_t>((w - r + kRingSize) % kRingSize);
  const std::size_t n = std::min(count, available);
  readIndex_.store(static_cast<int>((r + n) % kRingSize), std::memory_order_release);
}

SerialPort::Search SerialPort::FindFrame(unsigned char* buffer, std::size_t max,
                                         std::size_t* start, std::size_t* length) {
  const std::size_t n = Peek(buffer, max);
  if (n == 0) return Search::Empty;
  const void* first = std::memchr(buffer, kStx, n);
  if (!first) {
    Skip(n);
    return Search::Noise;
  }
  std::size_t s = static_cast<std::size_t>(static_cast<const unsigned char*>(first) - buffer);
  const std::size_t e = s + 1 + FindEtx(buffer + s + 1, n - s - 1);
  if (e + 1 >= n) {
    // No ETX yet, or its check byte has not arrived. A frame that cannot complete within the
    // whole window never will: drop the noise before it, or its STX when it starts the window,
    // so that the ring cannot stay blocked.
    if (n == max) Skip(s > 0 ? s : 1);
    return Search::Incomplete;
  }
  // The payload never holds an STX: a later STX before the ETX starts the real frame, and the
  // bytes before it are noise.
  for (std::size_t i = e - 1; i > s; --i) {
    if (buffer[i] == kStx) {
      s = i;
      break;
    }
  }
  const std::size_t frameLength = e + 2 - s;
  if (!CheckFrame(log_, buffer + s, frameLength)) {
    // Dropped through its ETX only: when the check byte went missing on the line, the byte
    // taken for it is the STX of the next frame, which must survive. A bad check byte left
    // behind that happens to be an STX is passed over by the next search (a later STX before
    // the ETX starts the real frame).
    Skip(e + 1);
    return Search::BadCheck;
  }
  Skip(e + 2);
  *start = s;
  *length = frameLength;
  return Search::Frame;
}

int SerialPort::ReadFrame(unsigned char* destination, std::size_t* length) {
  unsigned char buffer[kFrameWindow];
  std::size_t start = 0;
  std::size_t frameLength = 0;
  switch (FindFrame(buffer, kFrameWindow, &start, &frameLength)) {
    case Search::Empty:
      return -1;
    case Search::Frame:
      std::memcpy(destination, buffer + start, frameLength);
      destination[frameLength] = 0;
      if (length) *length = frameLength;
      return 1;
    default:
      return -2;
  }
}

bool SerialPort::WaitClosed(int ms) {
  platform::Event* closed = &closed_;
  return clock_.WaitAny({closed}, ms) == 0;
}

bool SerialPort::Transact(const std::string& command, int timeoutSeconds,
                          const unsigned char* request, std::size_t requestLength,
                          unsigned char* reply, std::size_t* replyLength) {
  if (!IsOpen()) return false;
  // Whole seconds of the monotonic clock, so that a change of the wall clock neither cuts the
  // wait short nor stretches it.
  const std::int64_t start = clock_.MonotonicMs() / 1000;
  Write(request, requestLength);
  if (WaitClosed(kFirstDelayMs)) return false;
  unsigned char buffer[kMaxFrame];
  for (int k = 1;; ++k) {
    if (clock_.MonotonicMs() / 1000 > start + timeoutSeconds) {
      log_.Write("受信：タイムアウト");
      return false;
    }
    if (WaitClosed(TransactionDelayMs(k))) return false;
    std::size_t frameStart = 0;
    std::size_t frameLength = 0;
    if (FindFrame(buffer, kMaxFrame, &frameStart, &frameLength) != Search::Frame) continue;
    if (!ReplyMatches(command, buffer + frameStart, frameLength)) continue;  // dropped
    std::memcpy(reply, buffer + frameStart, frameLength);
    reply[frameLength] = 0;
    if (replyLength) *replyLength = frameLength;
    return true;
  }
}

}  // namespace wardend
