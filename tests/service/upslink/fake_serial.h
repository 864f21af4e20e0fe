// An in-memory serial line with a scripted peer. The host side is the SerialDevice the port
// owns; the test holds the line and plays the UPS: bytes it delivers become readable at once or
// when the fake clock reaches their time, and every request the host writes is handed to the
// peer script, which may answer by delivering bytes.
//
// It behaves as the Windows line does where the port logic depends on it: a read takes at most
// one byte and returns empty when none is there, a wait for a character blocks until one is
// readable, and a release of the wait only releases a wait that is already pending.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace upslinktest {

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

class FakeLine {
 public:
  // --- Faults the host may meet (0: success; otherwise the error number returned) -----------
  int createRequestsError = 0;
  bool openFails = false;
  int openError = 2;  // what a failed open reports (ENOENT / ERROR_FILE_NOT_FOUND)
  int getSettingsError = 0;
  int setSettingsError = 0;
  int setTimeoutsError = 0;
  int waitError = 0;
  int releaseError = 0;
  int closeWriteError = 0;
  int closeReadError = 0;
  int closePortError = 0;

  // The driver's settings before the host changes them.
  platform::LineSettings driverSettings{9600, 7, platform::Parity::Even, 2};

  // Answers each write (the whole request as written); runs on the writing thread.
  void SetPeer(std::function<void(const Bytes&)> peer) {
    std::lock_guard<std::mutex> guard(lock_);
    peer_ = std::move(peer);
  }

  // The device goes away under a waiting receiver (a hung-up line, a pulled adapter): every wait
  // from now on fails with error; 0 brings a working device back.
  void SetWaitError(int error) {
    std::lock_guard<std::mutex> guard(lock_);
    waitError = error;
    changed_.notify_all();
  }

  // --- The UPS side -------------------------------------------------------------------------
  void Deliver(const Bytes& bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    readable_.insert(readable_.end(), bytes.begin(), bytes.end());
    changed_.notify_all();
  }
  // Bytes that arrive when the clock reaches atMs (see ReleaseDue).
  void DeliverAt(std::int64_t atMs, const Bytes& bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    Bytes& slot = scheduled_[atMs];
    slot.insert(slot.end(), bytes.begin(), bytes.end());
  }
  // Makes the bytes due at nowMs readable.
  void ReleaseDue(std::int64_t nowMs) {
    std::lock_guard<std::mutex> guard(lock_);
    while (!scheduled_.empty() && scheduled_.begin()->first <= nowMs) {
      const Bytes& bytes = scheduled_.begin()->second;
      readable_.insert(readable_.end(), bytes.begin(), bytes.end());
      scheduled_.erase(scheduled_.begin());
    }
    changed_.notify_all();
  }
  std::size_t Readable() {
    std::lock_guard<std::mutex> guard(lock_);
    return readable_.size();
  }
  // Blocks (bounded) until every readable byte has been read and a receive thread waits for
  // the next character again: the burst has reached the ring. A port that is closed or being
  // closed (its wait released) has nobody left to wait for.
  bool WaitIdle() {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [this] {
      return !portOpen_ || closing_ || waitError != 0 || (readable_.empty() && waiting_ > 0);
    });
  }

  // --- What the host did --------------------------------------------------------------------
  Bytes Written() {
    std::lock_guard<std::mutex> guard(lock_);
    return written_;
  }
  std::vector<Bytes> Writes() {
    std::lock_guard<std::mutex> guard(lock_);
    return writes_;
  }
  void ClearWritten() {
    std::lock_guard<std::mutex> guard(lock_);
    written_.clear();
    writes_.clear();
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.clear();
  }
  std::string OpenedName() {
    std::lock_guard<std::mutex> guard(lock_);
    return openedName_;
  }
  platform::LineSettings Settings() {
    std::lock_guard<std::mutex> guard(lock_);
    return settings_;
  }
  platform::SerialTimeouts Timeouts() {
    std::lock_guard<std::mutex> guard(lock_);
    return timeouts_;
  }
  bool PortOpen() {
    std::lock_guard<std::mutex> guard(lock_);
    return portOpen_;
  }
  bool Waiting() {
    std::lock_guard<std::mutex> guard(lock_);
    return waiting_ > 0;
  }

 private:
  friend class FakeSerialDevice;

  void Record(const char* call) { calls_.push_back(call); }

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<unsigned char> readable_;
  std::map<std::int64_t, Bytes> scheduled_;
  std::function<void(const Bytes&)> peer_;
  Bytes written_;
  std::vector<Bytes> writes_;
  std::vector<std::string> calls_;
  std::string openedName_;
  platform::LineSettings settings_;
  platform::SerialTimeouts timeouts_;
  bool portOpen_ = false;
  bool closing_ = false;
  int waiting_ = 0;
  std::uint64_t releases_ = 0;
};

class FakeSerialDevice : public platform::SerialDevice {
 public:
  explicit FakeSerialDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

  int CreateRequests() override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("CreateRequests");
    return line_->createRequestsError;
  }
  bool OpenPort(const std::string& name, int* error) override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("OpenPort");
    *error = line_->openError;
    if (line_->openFails) return false;
    line_->openedName_ = name;
    line_->portOpen_ = true;
    line_->closing_ = false;
    line_->settings_ = line_->driverSettings;
    return true;
  }
  int GetLineSettings(platform::LineSettings* settings) override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("GetLineSettings");
    if (line_->getSettingsError) return line_->getSettingsError;
    *settings = line_->settings_;
    return 0;
  }
  int SetLineSettings(const platform::LineSettings& settings) override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("SetLineSettings");
    if (line_->setSettingsError) return line_->setSettingsError;
    line_->settings_ = settings;
    return 0;
  }
  int SetTimeouts(const platform::SerialTimeouts& timeouts) override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("SetTimeouts");
    if (line_->setTimeoutsError) return line_->setTimeoutsError;
    line_->timeouts_ = timeouts;
    return 0;
  }
  int WaitForCharacter() override {
    std::unique_lock<std::mutex> lock(line_->lock_);
    if (!line_->portOpen_) return 6;  // ERROR_INVALID_HANDLE
    if (line_->waitError) return line_->waitError;
    const std::uint64_t generation = line_->releases_;
    ++line_->waiting_;
    line_->changed_.notify_all();
    line_->changed_.wait(lock, [&] {
      return !line_->readable_.empty() || line_->releases_ != generation || !line_->portOpen_ ||
             line_->waitError != 0;
    });
    --line_->waiting_;
    line_->changed_.notify_all();
    return line_->waitError;
  }
  int ReleaseWait() override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("ReleaseWait");
    if (line_->releaseError) return line_->releaseError;
    ++line_->releases_;  // only a wait already pending sees this
    line_->closing_ = true;
    line_->changed_.notify_all();
    return 0;
  }
  int ReadByte(unsigned char* byte) override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    if (!line_->portOpen_ || line_->readable_.empty()) {
      line_->changed_.notify_all();
      return 0;
    }
    *byte = line_->readable_.front();
    line_->readable_.pop_front();
    line_->changed_.notify_all();
    return 1;
  }
  void Write(const unsigned char* data, std::size_t length) override {
    std::function<void(const Bytes&)> peer;
    Bytes request(data, data + length);
    {
      std::lock_guard<std::mutex> guard(line_->lock_);
      line_->written_.insert(line_->written_.end(), request.begin(), request.end());
      line_->writes_.push_back(request);
      peer = line_->peer_;
    }
    if (peer) peer(request);
  }
  int CloseWriteRequest() override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("CloseWriteRequest");
    return line_->closeWriteError;
  }
  int CloseReadRequest() override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("CloseReadRequest");
    return line_->closeReadError;
  }
  int ClosePort() override {
    std::lock_guard<std::mutex> guard(line_->lock_);
    line_->Record("ClosePort");
    line_->portOpen_ = false;
    line_->changed_.notify_all();
    return line_->closePortError;
  }

 private:
  std::shared_ptr<FakeLine> line_;
};

class FakeSerialFactory : public platform::SerialFactory {
 public:
  explicit FakeSerialFactory(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  std::unique_ptr<platform::SerialDevice> Create() override {
    return std::make_unique<FakeSerialDevice>(line_);
  }

 private:
  std::shared_ptr<FakeLine> line_;
};

}  // namespace upslinktest
