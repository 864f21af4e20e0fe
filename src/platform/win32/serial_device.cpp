// Serial line on Windows: an overlapped COM port handle, the driver's DCB with four fields
// changed and the line made raw, COMMTIMEOUTS, an event-mask wait for a received character that
// SetCommMask(0) releases, one-byte overlapped reads and overlapped writes, both waited in 10 ms
// slices so that a closing port can cancel them. After a failed request the line's error state
// is cleared, so that one line error never leaves the port deaf.
//
// Wine differences the backend absorbs: an empty, timed-out one-byte read completes with
// ERROR_TIMEOUT (1460) where Windows reports success with 0 bytes, and a wait released by
// SetCommMask(h, 0) completes with ERROR_OPERATION_ABORTED (995); both mean "no byte" and
// "released" (a wait ending without a release is a failure, whatever its code). A write that
// runs out of its time-outs completes with fewer bytes on Windows and may fail with
// ERROR_TIMEOUT under Wine: either way the rest of the request is dropped. Wine does not
// enforce the exclusive open.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/serial.h"
#include "platform/win32/windows_support.h"

namespace platform {

namespace {

using win32::UniqueHandle;

// One slice of the wait for a pending read or write: how soon a closing port is noticed.
constexpr DWORD kRequestSliceMs = 10;

int LastError() { return static_cast<int>(GetLastError()); }

// The frame bytes pass as they are, both ways: no XON/XOFF (a check byte may be 0x11 or 0x13),
// no CTS/DSR handshake (a three-wire cable never raises them and a write would wait for ever),
// no error or NUL replacement, and a line error does not stop the port (abort-on-error).
// DTR and RTS are simply held up: some UPS interfaces take their presence or power from them.
void MakeRaw(DCB* dcb) {
  dcb->fBinary = TRUE;
  dcb->fParity = dcb->Parity != NOPARITY ? TRUE : FALSE;
  dcb->fOutxCtsFlow = FALSE;
  dcb->fOutxDsrFlow = FALSE;
  dcb->fDtrControl = DTR_CONTROL_ENABLE;
  dcb->fDsrSensitivity = FALSE;
  dcb->fOutX = FALSE;
  dcb->fInX = FALSE;
  dcb->fErrorChar = FALSE;
  dcb->fNull = FALSE;
  dcb->fRtsControl = RTS_CONTROL_ENABLE;
  dcb->fAbortOnError = FALSE;
}

// Clears the line's error state after a failed request. A driver that still stops the port on
// a line error refuses every request until this is called.
void ClearLineErrors(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(port, &errors, &status)) {
    // Nothing more to do here: the next request on the port reports what is wrong.
  }
}

// A request that ends by its time-out or by being released has no line error to clear.
bool LineErrorPossible(DWORD error) {
  return error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED && error != ERROR_IO_PENDING;
}

class Win32SerialDevice final : public SerialDevice {
 public:
  int CreateRequests() override {
    std::lock_guard<std::mutex> guard(lock_);
    released_ = false;
    writeClosing_ = false;
    // The wait's own event is kept until destruction: the receive thread may still be
    // collecting a released wait while the port closes.
    if (!waitEvent_.Valid()) {
      waitEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      if (!waitEvent_.Valid()) return LastError();
    }
    if (!writeEvent_.Valid()) {
      writeEvent_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
      if (!writeEvent_.Valid()) return LastError();
    }
    if (!readEvent_.Valid()) {
      readEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      if (!readEvent_.Valid()) return LastError();
    }
    return 0;
  }

  bool OpenPort(const std::string& name, int* error) override {
    std::lock_guard<std::mutex> guard(lock_);
    *error = 0;
    if (port_.Valid()) {
      *error = ERROR_BUSY;
      return false;
    }
    port_.Reset(CreateFileA(SerialDevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                            nullptr));
    if (!port_.Valid()) *error = LastError();
    return port_.Valid();
  }

  int GetLineSettings(LineSettings* settings) override {
    Use use(*this, Use::Control);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(use.port, &dcb)) return LastError();
    settings->baudRate = static_cast<int>(dcb.BaudRate);
    settings->dataBits = dcb.ByteSize;
    settings->parity = dcb.Parity == ODDPARITY    ? Parity::Odd
                       : dcb.Parity == EVENPARITY ? Parity::Even
                                                  : Parity::None;
    settings->stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    return 0;
  }

  int SetLineSettings(const LineSettings& settings) override {
    if (settings.stopBits != 1 && settings.stopBits != 2) return ERROR_INVALID_PARAMETER;
    if (settings.baudRate <= 0 || settings.dataBits < 5 || settings.dataBits > 8) {
      return ERROR_INVALID_PARAMETER;
    }
    Use use(*this, Use::Control);
    // Every other field stays as the driver reports it, except those that make the line raw:
    // whatever flow control or error handling the driver last had must not reach the frames.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(use.port, &dcb)) return LastError();
    dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = settings.parity == Parity::Odd    ? ODDPARITY
                 : settings.parity == Parity::Even ? EVENPARITY
                                                   : NOPARITY;
    dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    MakeRaw(&dcb);
    return SetCommState(use.port, &dcb) ? 0 : LastError();
  }

  int SetTimeouts(const SerialTimeouts& timeouts) override {
    Use use(*this, Use::Control);
    // -1 stands for MAXDWORD, as in the Windows block.
    COMMTIMEOUTS block{};
    block.ReadIntervalTimeout = static_cast<DWORD>(timeouts.readInterval);
    block.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.readTotalMultiplier);
    block.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.readTotalConstant);
    block.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.writeTotalMultiplier);
    block.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.writeTotalConstant);
    return SetCommTimeouts(use.port, &block) ? 0 : LastError();
  }

  int WaitForCharacter() override {
    Use use(*this, Use::Wait);
    if (use.port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    // A release before this wait holds until the port is opened again.
    if (released_) return 0;
    if (!SetCommMask(use.port, EV_RXCHAR)) return LastError();
    // An overlapped wait: on a handle opened for overlapped I/O a wait without an OVERLAPPED
    // may report completion at once, and the receive loop would spin.
    OVERLAPPED request{};
    request.hEvent = use.event;
    DWORD mask = 0;
    if (WaitCommEvent(use.port, &mask, &request)) return 0;
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      ClearLineErrors(use.port);
      return released_ ? 0 : static_cast<int>(error);
    }
    // A release that came between the check above and the wait found no wait to end.
    if (released_ && !SetCommMask(use.port, 0)) {
      // The wait still ends when a character comes; nothing better is possible here.
    }
    DWORD ignored = 0;
    if (GetOverlappedResult(use.port, &request, &ignored, TRUE)) return 0;
    // Aborted (995) is how a released wait ends under Wine; without a release it is a failure
    // (Wine also ends the wait with it when the line's modem status cannot be read, and a
    // driver with abort-on-error ends it so after a line error).
    const int failed = LastError();
    ClearLineErrors(use.port);
    return released_ ? 0 : failed;
  }

  int ReleaseWait() override {
    released_ = true;
    Use use(*this, Use::Control);
    if (use.port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    return SetCommMask(use.port, 0) ? 0 : LastError();
  }

  int ReadByte(unsigned char* byte) override {
    Use use(*this, Use::Read);
    if (use.port == INVALID_HANDLE_VALUE || use.event == nullptr) return 0;
    OVERLAPPED request{};
    request.hEvent = use.event;
    DWORD count = 0;
    if (ReadFile(use.port, byte, 1, &count, &request)) return count == 1 ? 1 : 0;
    // Failed at once (Wine's ERROR_TIMEOUT included): a read without a byte.
    if (GetLastError() != ERROR_IO_PENDING) return ReadFailed(use.port);
    for (;;) {
      const DWORD waited = WaitForSingleObject(use.event, kRequestSliceMs);
      if (waited == WAIT_OBJECT_0) break;
      // A read without a time limit gives up once the port is released for closing; so does
      // one whose event cannot be waited on. The request must end before its block goes.
      if (waited != WAIT_TIMEOUT || released_) {
        if (!CancelIo(use.port)) {
          // Nothing was cancelled: the read then ends by itself, and the wait below sees it.
        }
        if (!GetOverlappedResult(use.port, &request, &count, TRUE)) return ReadFailed(use.port);
        return count == 1 ? 1 : 0;
      }
    }
    if (!GetOverlappedResult(use.port, &request, &count, FALSE)) return ReadFailed(use.port);
    return count == 1 ? 1 : 0;
  }

  void Write(const unsigned char* data, std::size_t length) override {
    Use use(*this, Use::Write);
    if (use.port == INVALID_HANDLE_VALUE || use.event == nullptr) return;
    std::size_t done = 0;
    // Write errors are not reported to the caller; the link notices the missing reply.
    while (done < length) {
      const DWORD chunk = static_cast<DWORD>(length - done > 65536 ? 65536 : length - done);
      OVERLAPPED request{};
      request.hEvent = use.event;
      DWORD written = 0;
      if (!WriteFile(use.port, data + done, chunk, &written, &request) &&
          (GetLastError() != ERROR_IO_PENDING || !AwaitWrite(use, &request, &written))) {
        if (LineErrorPossible(GetLastError())) ClearLineErrors(use.port);
        return;
      }
      done += written;
      // Fewer bytes than asked: the write time-outs ran out, the line does not take bytes.
      if (written < chunk) return;
    }
  }

  // A write still waiting on the line is cancelled first: the request it waits with goes.
  int CloseWriteRequest() override {
    writeClosing_ = true;
    return CloseEvent(&writeEvent_, &writers_);
  }
  int CloseReadRequest() override { return CloseEvent(&readEvent_, &readers_); }

  int ClosePort() override {
    std::unique_lock<std::mutex> guard(lock_);
    if (!port_.Valid()) return ERROR_INVALID_HANDLE;
    UniqueHandle port(port_.Release());
    // Every operation on the port ends soon once released (read time-outs are bounded, the
    // wait ends with the mask); the handle is closed only when none uses it any more.
    if (users_ > 0) {
      released_ = true;
      if (!SetCommMask(port.Get(), 0)) {
        // A pending wait then ends with the next character or the closed handle.
      }
      idle_.wait(guard, [this] { return users_ == 0; });
    }
    return port.Reset() ? 0 : LastError();
  }

 private:
  // Holds the port and the request event of one operation for its length, so that a close on
  // another thread waits for it instead of pulling the handles from under it.
  struct Use {
    enum Kind { Control, Wait, Read, Write };
    Use(Win32SerialDevice& device, Kind kind) : device(device), kind(kind) {
      std::lock_guard<std::mutex> guard(device.lock_);
      port = device.port_.Get();
      if (port == nullptr) port = INVALID_HANDLE_VALUE;
      event = kind == Read    ? device.readEvent_.Get()
              : kind == Write ? device.writeEvent_.Get()
              : kind == Wait  ? device.waitEvent_.Get()
                              : nullptr;
      ++device.users_;
      if (kind == Read) ++device.readers_;
      if (kind == Write) ++device.writers_;
    }
    ~Use() {
      std::lock_guard<std::mutex> guard(device.lock_);
      --device.users_;
      if (kind == Read) --device.readers_;
      if (kind == Write) --device.writers_;
      device.idle_.notify_all();
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Win32SerialDevice& device;
    Kind kind;
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
  };

  // A read that failed: its line error is cleared, and it brought no byte.
  static int ReadFailed(HANDLE port) {
    if (LineErrorPossible(GetLastError())) ClearLineErrors(port);
    return 0;
  }

  // Waits for a pending write in slices; when the port is released or the write request closed
  // meanwhile, the write is cancelled (CancelIo ends the calling thread's requests only, so the
  // writer cancels its own) and false is returned. False too when the write failed, with
  // GetLastError set; otherwise *written is what went out.
  bool AwaitWrite(const Use& use, OVERLAPPED* request, DWORD* written) {
    for (;;) {
      const DWORD waited = WaitForSingleObject(use.event, kRequestSliceMs);
      if (waited == WAIT_OBJECT_0) {
        return GetOverlappedResult(use.port, request, written, FALSE) != 0;
      }
      if (waited != WAIT_TIMEOUT || released_ || writeClosing_) {
        if (!CancelIo(use.port)) {
          // Nothing was cancelled: the write then ends by its time-outs, and the wait below
          // sees it.
        }
        // The request must end before its block goes, whatever its result.
        static_cast<void>(GetOverlappedResult(use.port, request, written, TRUE));
        SetLastError(ERROR_OPERATION_ABORTED);
        return false;
      }
    }
  }

  int CloseEvent(UniqueHandle* event, int* inFlight) {
    std::unique_lock<std::mutex> guard(lock_);
    // Closing an event that is not there fails, as CloseHandle does.
    if (!event->Valid()) return ERROR_INVALID_HANDLE;
    UniqueHandle closing(event->Release());
    // A request in flight still signals this event when it completes.
    idle_.wait(guard, [inFlight] { return *inFlight == 0; });
    return closing.Reset() ? 0 : LastError();
  }

  std::mutex lock_;
  std::condition_variable idle_;
  // All guarded by lock_.
  UniqueHandle port_;
  UniqueHandle writeEvent_;  // auto-reset
  UniqueHandle readEvent_;   // manual-reset
  UniqueHandle waitEvent_;   // manual-reset, for the overlapped character wait
  int users_ = 0;
  int readers_ = 0;
  int writers_ = 0;
  // Set by ReleaseWait (and a close with users), cleared by the next CreateRequests.
  std::atomic<bool> released_{false};
  // Set by CloseWriteRequest, cleared by the next CreateRequests: a pending write gives up.
  std::atomic<bool> writeClosing_{false};
};

class Win32SerialFactory final : public SerialFactory {
 public:
  std::unique_ptr<SerialDevice> Create() override {
    return std::unique_ptr<SerialDevice>(new Win32SerialDevice);
  }
};

}  // namespace

SerialFactory& SystemSerialFactory() {
  static Win32SerialFactory factory;
  return factory;
}

bool SerialDeviceGone(int error) {
  switch (error) {
    // What the usual USB serial drivers answer on a handle whose adapter was pulled out; an
    // invalid handle cannot come back either. A port that cannot be found when it is opened
    // (file or path not found) was never there: that is an open failure, not a lost device.
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEV_NOT_EXIST:
      return true;
    default:
      return false;
  }
}

}  // namespace platform
