// A socket layer for the monitor's workers: names resolve as the test says, every datagram
// sent is recorded, and datagrams the test posts arrive at the receive (a receive with nothing
// posted waits a few real milliseconds at most, so a receive loop never spins nor stalls a
// stop).
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace lwtest {

struct Posted {
  std::vector<unsigned char> bytes;
  std::uint32_t sender;
};

struct Sent {
  std::vector<unsigned char> bytes;
  std::uint32_t address;
  std::uint16_t port;
};

class ScriptedSockets : public platform::SocketLayer {
 public:
  int Startup() override { return 0; }
  void Cleanup() override {}
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override {
    *error = openError;
    if (openError != 0) return nullptr;
    return std::make_unique<Socket>(*this);
  }
  int HostName(std::string* name) override {
    *name = "pc";
    return 0;
  }
  int HostAddress(const std::string& name, std::uint32_t* address) override {
    auto it = hosts.find(name);
    if (it == hosts.end()) return 11001;  // host not found
    *address = it->second;
    return 0;
  }

  void Post(std::vector<unsigned char> bytes, std::uint32_t sender) {
    std::lock_guard<std::mutex> guard(lock_);
    inbox_.push_back({std::move(bytes), sender});
    posted_.notify_all();
  }
  std::vector<Sent> SentDatagrams() {
    std::lock_guard<std::mutex> guard(lock_);
    return sent_;
  }
  std::size_t Waiting() {
    std::lock_guard<std::mutex> guard(lock_);
    return inbox_.size();
  }

  std::map<std::string, std::uint32_t> hosts;
  int openError = 0;

 private:
  class Socket : public platform::UdpSocket {
   public:
    explicit Socket(ScriptedSockets& layer) : layer_(layer) {}
    int Bind(std::uint32_t, std::uint16_t) override { return 0; }
    int EnableBroadcast() override { return 0; }
    int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
               std::uint16_t port) override {
      std::lock_guard<std::mutex> guard(layer_.lock_);
      layer_.sent_.push_back({std::vector<unsigned char>(data, data + size), address, port});
      return 0;
    }
    int ReceiveFrom(unsigned char* buffer, std::size_t capacity, int timeoutMs,
                    std::size_t* received, std::uint32_t* address, std::uint16_t* port) override {
      std::unique_lock<std::mutex> lock(layer_.lock_);
      const int realMs = timeoutMs < 5 ? timeoutMs : 5;
      layer_.posted_.wait_for(lock, std::chrono::milliseconds(realMs),
                              [this] { return !layer_.inbox_.empty(); });
      if (layer_.inbox_.empty()) return platform::kReceiveTimedOut;
      Posted posted = std::move(layer_.inbox_.front());
      layer_.inbox_.pop_front();
      *received = posted.bytes.size() < capacity ? posted.bytes.size() : capacity;
      std::copy(posted.bytes.begin(), posted.bytes.begin() + *received, buffer);
      *address = posted.sender;
      *port = 12000;
      return 0;
    }
    int LocalPort(std::uint16_t* port) override {
      *port = 50000;
      return 0;
    }

   private:
    ScriptedSockets& layer_;
  };

  std::mutex lock_;
  std::condition_variable posted_;
  std::deque<Posted> inbox_;
  std::vector<Sent> sent_;
};

}  // namespace lwtest
