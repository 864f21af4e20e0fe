// Status streaming of code 6: one thread sends the served part of the status record to one
// client, count times (0: until stopped) every interval seconds. At most one stream runs: a new
// request replaces the running one, so that no stream is ever left without an owner.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/sockets.h"
#include "platform/thread.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;

class StatusStreamer {
 public:
  // A status datagram is at most the 64-byte streaming buffer.
  static constexpr int kMaxStatusBytes = 64;
  // An endless stream (count 0) waits at least this long between datagrams, whatever its
  // interval: interval 0 would send at full speed for ever on one unauthenticated datagram.
  static constexpr int kEndlessPaceMs = 1000;
  // The UPS is asked for a fresh status at most this often: its answer takes its time on the
  // serial line, and every request it has not answered yet counts towards a lost link.
  static constexpr int kFreshStatusPaceMs = 1000;
  static constexpr int kStopWaitMs = 3000;
  static constexpr int kStopAttempts = 3;

  StatusStreamer(ServiceContext& context, platform::Clock& clock, SrvLog& srvLog);
  ~StatusStreamer();
  StatusStreamer(const StatusStreamer&) = delete;
  StatusStreamer& operator=(const StatusStreamer&) = delete;

  // Receive thread. False while there is no status yet (the copy empty or its first logsize
  // bytes all zero) and when the thread cannot be created (with its line). Otherwise a running
  // stream is stopped, requestStatus is set so that the UPS is asked at once (unless it was
  // set less than kFreshStatusPaceMs ago), and a new stream to address:port begins; interval
  // and count are limited to 0..255. A stream of one record is sent here, without a thread.
  bool StartStreaming(std::shared_ptr<platform::UdpSocket> socket, int interval, int count,
                      std::uint32_t address, std::uint16_t port);
  // Stops the stream in up to three bounded waits; a thread that would not end is detached
  // (it owns what it uses). Safe when no stream runs.
  void StopStreaming();
  // True while a stream's thread has not ended.
  bool Streaming() const;

 private:
  struct Stream;
  static void Run(const std::shared_ptr<Stream>& stream);
  void StopLocked();

  ServiceContext& context_;
  platform::Clock& clock_;
  SrvLog& srvLog_;
  // The receive thread starts and stops streams, the stopping service stops them too.
  mutable std::mutex lock_;
  std::unique_ptr<platform::Thread> thread_;  // guarded by lock_
  std::shared_ptr<Stream> stream_;            // guarded by lock_
  std::int64_t freshStatusAskedMs_ = 0;       // guarded by lock_; monotonic
  bool freshStatusAsked_ = false;             // guarded by lock_
};

}  // namespace wardend
