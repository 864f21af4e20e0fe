// The service's end of the simulator's line in a process test (the slave, non-blocking, with
// bounded reads), and one control line over the simulator's control socket.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

namespace testsupport {

class SimLine {
 public:
  SimLine() = default;
  ~SimLine() { Close(); }
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  bool Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    return fd_ >= 0;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Send(const std::string& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Bytes from the UPS until `wanted` have come or ms have passed.
  std::string Receive(std::size_t wanted, int ms) {
    std::string got;
    const std::int64_t deadline = NowMs() + ms;
    while (got.size() < wanted && NowMs() < deadline) ReadSome(20, &got);
    return got;
  }

  // Bytes from the UPS until none has come for quietMs (or maxMs have passed in all).
  std::string ReceiveUntilQuiet(int quietMs, int maxMs) {
    std::string got;
    const std::int64_t deadline = NowMs() + maxMs;
    std::int64_t lastByte = NowMs();
    while (NowMs() < deadline && NowMs() - lastByte < quietMs) {
      if (ReadSome(10, &got)) lastByte = NowMs();
    }
    return got;
  }

  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

 private:
  // Waits up to ms for bytes and appends what there is; true when some came.
  bool ReadSome(int ms, std::string* got) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    char chunk[256];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n <= 0) return false;
    got->append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
};

// One control line over the control socket at path; the answer line without its end (empty when
// none came within 5 s).
inline std::string SocketControl(const std::string& path, const std::string& line) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "socket failed";
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    ::close(fd);
    return "socket path too long";
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
      const std::int64_t deadline = SimLine::NowMs() + 5000;
      while (answer.find('\n') == std::string::npos && SimLine::NowMs() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char chunk[256];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(n));
      }
    }
  }
  ::close(fd);
  if (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return answer;
}

}  // namespace testsupport
