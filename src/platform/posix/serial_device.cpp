// Serial line on Linux: termios on the device in raw mode, poll() for every wait, and a wake-up
// pipe that stands in for the event mask of Windows: ReleaseWait writes to it and every pending
// or later wait on the port returns, until the next CreateRequests re-arms it. The descriptor is
// non-blocking; read time-outs and the blocking write are built with poll().
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/posix/unique_fd.h"
#include "platform/serial.h"

namespace platform {

namespace {

using posix::UniqueFd;

// How long a wait on a hung-up line (the far end closed) pauses before it reports EIO, so that a
// receive loop over a dead line does not spin.
constexpr int kHangUpPauseMs = 100;

struct BaudEntry {
  int rate;
  speed_t code;
};

constexpr BaudEntry kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool BaudCode(int rate, speed_t* code) {
  for (const BaudEntry& entry : kBaudRates) {
    if (entry.rate == rate) {
      *code = entry.code;
      return true;
    }
  }
  return false;
}

int BaudRate(speed_t code) {
  for (const BaudEntry& entry : kBaudRates) {
    if (entry.code == code) return entry.rate;
  }
  return 0;
}

bool SizeFlag(int dataBits, tcflag_t* flag) {
  switch (dataBits) {
    case 5: *flag = CS5; return true;
    case 6: *flag = CS6; return true;
    case 7: *flag = CS7; return true;
    case 8: *flag = CS8; return true;
    default: return false;
  }
}

int DataBits(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

LineSettings FromTermios(const termios& tio) {
  LineSettings s;
  s.baudRate = BaudRate(cfgetospeed(&tio));
  s.dataBits = DataBits(tio.c_cflag);
  s.parity = (tio.c_cflag & PARENB) == 0    ? Parity::None
             : (tio.c_cflag & PARODD) != 0 ? Parity::Odd
                                           : Parity::Even;
  s.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return s;
}

bool SameSettings(const LineSettings& a, const LineSettings& b) {
  return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
         a.stopBits == b.stopBits;
}

// Raw bytes both ways: no echo, no line editing, no signals, no CR/LF translation and no
// XON/XOFF (a check byte may be 0x11 or 0x13). Speed, size, parity and stop bits are left to
// SetLineSettings, as on Windows where only those fields change.
void MakeRaw(termios* tio) {
  tio->c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                         ICRNL | IXON | IXOFF | IXANY);
  tio->c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio->c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
  tio->c_cflag |= CLOCAL | CREAD;
  tio->c_cc[VMIN] = 0;
  tio->c_cc[VTIME] = 0;
}

// Slave side of a Unix98 pseudo-terminal (the kernel's majors 136 to 143).
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int CloseDescriptor(int fd) { return ::close(fd) == 0 || errno == EINTR ? 0 : errno; }

class PosixSerialDevice final : public SerialDevice {
 public:
  // The wake-up pipe lives as long as the device: the receive thread may still be polling it
  // while the port closes. A failure to create it is reported by CreateRequests.
  PosixSerialDevice() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
      pipeError_ = errno;
      return;
    }
    wakeRead_.Reset(fds[0]);
    wakeWrite_.Reset(fds[1]);
  }

  ~PosixSerialDevice() override {
    // Nobody is left to hear of a failure here; the descriptor is gone either way.
    if (fd_ >= 0) static_cast<void>(ReleaseDescriptor(fd_));
  }

  int CreateRequests() override {
    if (pipeError_ != 0) return pipeError_;
    std::lock_guard<std::mutex> guard(lock_);
    writeRequest_ = readRequest_ = true;
    // A new open re-arms the wait released by the previous close.
    char drain[64];
    while (::read(wakeRead_.Get(), drain, sizeof drain) > 0) {
    }
    return 0;
  }

  bool OpenPort(const std::string& name, int* error) override {
    *error = 0;
    const std::string path = SerialDevicePath(name);
    if (path.empty()) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (fd_ >= 0) {
      *error = EBUSY;
      return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      *error = errno;
      return false;
    }
    termios tio{};
    // TIOCEXCL keeps other users out but not root, which the daemon usually is; the lock keeps
    // a second daemon out as well.
    if (::tcgetattr(fd, &tio) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::ioctl(fd, TIOCEXCL) != 0) {
      *error = errno == EWOULDBLOCK ? EBUSY : errno;
      static_cast<void>(CloseDescriptor(fd));
      return false;
    }
    MakeRaw(&tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
      *error = errno;
      static_cast<void>(ReleaseDescriptor(fd));
      return false;
    }
    fd_ = fd;
    return true;
  }

  int GetLineSettings(LineSettings* settings) override {
    Use use(*this);
    if (use.fd < 0) return EBADF;
    termios tio{};
    if (::tcgetattr(use.fd, &tio) != 0) return errno;
    *settings = FromTermios(tio);
    return 0;
  }

  int SetLineSettings(const LineSettings& settings) override {
    Use use(*this);
    if (use.fd < 0) return EBADF;
    speed_t speed;
    tcflag_t size;
    if (!BaudCode(settings.baudRate, &speed) || !SizeFlag(settings.dataBits, &size) ||
        (settings.stopBits != 1 && settings.stopBits != 2)) {
      return EINVAL;
    }
    termios tio{};
    if (::tcgetattr(use.fd, &tio) != 0) return errno;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return errno;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= size;
    tio.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR);
    if (settings.parity != Parity::None) {
      tio.c_cflag |= PARENB;
      if (settings.parity == Parity::Odd) tio.c_cflag |= PARODD;
      // Bytes with a parity error are dropped; the frame check then rejects the frame.
      tio.c_iflag |= INPCK | IGNPAR;
    }
    if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
    if (::tcsetattr(use.fd, TCSANOW, &tio) != 0) return errno;
    // tcsetattr succeeds when any part was taken: read back what the driver really has.
    termios applied{};
    if (::tcgetattr(use.fd, &applied) != 0) return errno;
    LineSettings wanted = settings;
    if (IsPseudoTerminal(use.fd)) {
      // A pseudo-terminal carries bytes, not framed characters: the kernel keeps it at 8 bits
      // without parity whatever is asked, and nothing on the line depends on it.
      wanted.dataBits = 8;
      wanted.parity = Parity::None;
    }
    return SameSettings(FromTermios(applied), wanted) ? 0 : EINVAL;
  }

  int SetTimeouts(const SerialTimeouts& timeouts) override {
    std::lock_guard<std::mutex> guard(lock_);
    timeouts_ = timeouts;
    return 0;
  }

  int WaitForCharacter() override {
    Use use(*this);
    if (use.fd < 0) return EBADF;
    for (;;) {
      pollfd fds[2] = {{use.fd, POLLIN, 0}, {wakeRead_.Get(), POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (fds[1].revents != 0) return 0;  // released
      if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        PauseOnWake(kHangUpPauseMs);
        return (fds[0].revents & POLLNVAL) != 0 ? EBADF : EIO;
      }
      if ((fds[0].revents & POLLIN) != 0) return 0;
    }
  }

  int ReleaseWait() override {
    if (!wakeWrite_.Valid()) return pipeError_;
    const char byte = 1;
    for (;;) {
      if (::write(wakeWrite_.Get(), &byte, 1) == 1) return 0;
      if (errno == EINTR) continue;
      // A full pipe is already signalled.
      return errno == EAGAIN ? 0 : errno;
    }
  }

  int ReadByte(unsigned char* byte) override {
    Use use(*this);
    if (use.fd < 0) return 0;
    const int limitMs = ReadLimitMs();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const ssize_t n = ::read(use.fd, byte, 1);
      if (n == 1) return 1;
      // With VMIN and VTIME 0 an empty line reads as 0 bytes, like EAGAIN; a hang-up shows in
      // poll(). Any other failure is a request that failed at once: no byte.
      if (n < 0 && errno != EAGAIN && errno != EINTR) return 0;
      const int remaining = RemainingMs(start, limitMs);
      if (remaining == 0) return 0;
      pollfd fds[2] = {{use.fd, POLLIN, 0}, {wakeRead_.Get(), POLLIN, 0}};
      const int ready = ::poll(fds, 2, remaining);
      if (ready < 0 && errno != EINTR) return 0;
      if (ready == 0) return 0;  // time-out
      // A released port (closing) gives up a read without a time limit.
      if (ready > 0 && fds[1].revents != 0 && (fds[0].revents & POLLIN) == 0) return 0;
      if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 &&
          (fds[0].revents & POLLIN) == 0) {
        return 0;
      }
    }
  }

  void Write(const unsigned char* data, std::size_t length) override {
    Use use(*this);
    if (use.fd < 0) return;
    // Bounded like a Windows write with its total time-outs: a line that does not drain (a
    // stalled device) cannot hold the writer.
    const int limitMs = WriteLimitMs(length);
    const auto start = std::chrono::steady_clock::now();
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::write(use.fd, data + done, length - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // Write errors are not reported to the caller; the link notices the missing reply.
      if (n < 0 && errno != EAGAIN) return;
      const int remaining = RemainingMs(start, limitMs);
      if (remaining == 0) return;
      pollfd fds[2] = {{use.fd, POLLOUT, 0}, {wakeRead_.Get(), POLLIN, 0}};
      const int ready = ::poll(fds, 2, remaining);
      if (ready < 0) {
        if (errno == EINTR) continue;
        return;
      }
      // The port is being closed, or the line hung up: the rest cannot go out.
      if (fds[1].revents != 0 || (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return;
    }
  }

  // The request events of Windows have no counterpart here beyond their state (closing one
  // that is not there fails, as CloseHandle does); the wake-up pipe stays until the device is
  // destroyed because the receive thread may still be polling it.
  int CloseWriteRequest() override { return CloseRequest(&writeRequest_); }
  int CloseReadRequest() override { return CloseRequest(&readRequest_); }

  int ClosePort() override {
    std::unique_lock<std::mutex> guard(lock_);
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    fd_ = -1;
    // Every operation on the port ends soon once released (read time-outs are bounded, waits
    // and writes watch the pipe); the descriptor is closed only when none uses it any more, so
    // its number cannot be reused under a running poll().
    if (users_ > 0) {
      static_cast<void>(ReleaseWait());
      idle_.wait(guard, [this] { return users_ == 0; });
    }
    return ReleaseDescriptor(fd);
  }

 private:
  // Holds the port's descriptor for the length of one operation (fd is -1 when closed).
  struct Use {
    explicit Use(PosixSerialDevice& device) : device(device) {
      std::lock_guard<std::mutex> guard(device.lock_);
      fd = device.fd_;
      if (fd >= 0) ++device.users_;
    }
    ~Use() {
      if (fd < 0) return;
      std::lock_guard<std::mutex> guard(device.lock_);
      if (--device.users_ == 0) device.idle_.notify_all();
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    PosixSerialDevice& device;
    int fd = -1;
  };

  // Gives up exclusivity (it would outlive us while the other end keeps the line open) and
  // closes; 0 or the error number of the first failing call.
  static int ReleaseDescriptor(int fd) {
    int exclusive = ::ioctl(fd, TIOCNXCL) == 0 ? 0 : errno;
    // A device that is gone has no exclusivity left to give up.
    if (SerialDeviceGone(exclusive)) exclusive = 0;
    const int closed = CloseDescriptor(fd);
    return exclusive != 0 ? exclusive : closed;
  }

  int CloseRequest(bool* created) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!*created) return EBADF;
    *created = false;
    return 0;
  }

  // Milliseconds one byte may take, as the total read time-out of Windows; -1 without a limit.
  int ReadLimitMs() {
    std::lock_guard<std::mutex> guard(lock_);
    const int total = timeouts_.readTotalMultiplier + timeouts_.readTotalConstant;
    if (total > 0) return total;
    // MAXDWORD as interval with no totals: return at once with what is there.
    if (timeouts_.readInterval == -1) return 0;
    return -1;
  }

  // Milliseconds a write of length bytes may take; -1 without a limit.
  int WriteLimitMs(std::size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    const long long total = static_cast<long long>(timeouts_.writeTotalMultiplier) *
                                static_cast<long long>(length) +
                            timeouts_.writeTotalConstant;
    if (total <= 0) return -1;
    return total > 0x7fffffff ? 0x7fffffff : static_cast<int>(total);
  }

  // What is left of limitMs since start: -1 without a limit, 0 when it has run out.
  static int RemainingMs(std::chrono::steady_clock::time_point start, int limitMs) {
    if (limitMs < 0) return -1;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    return elapsed >= limitMs ? 0 : static_cast<int>(limitMs - elapsed);
  }

  void PauseOnWake(int ms) {
    pollfd wake = {wakeRead_.Get(), POLLIN, 0};
    if (::poll(&wake, 1, ms) < 0) {
      // Interrupted: the pause is only a brake, its length does not matter.
    }
  }

  std::mutex lock_;
  std::condition_variable idle_;
  int fd_ = -1;    // guarded by lock_
  int users_ = 0;  // guarded by lock_
  SerialTimeouts timeouts_;  // guarded by lock_
  bool writeRequest_ = false;  // guarded by lock_
  bool readRequest_ = false;   // guarded by lock_
  // Set once by the constructor.
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  int pipeError_ = 0;
};

class PosixSerialFactory final : public SerialFactory {
 public:
  std::unique_ptr<SerialDevice> Create() override {
    return std::unique_ptr<SerialDevice>(new PosixSerialDevice);
  }
};

}  // namespace

SerialFactory& SystemSerialFactory() {
  static PosixSerialFactory factory;
  return factory;
}

bool SerialDeviceGone(int error) {
  // A hung-up line and an adapter that was pulled out; the descriptor is of no more use.
  return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace platform
