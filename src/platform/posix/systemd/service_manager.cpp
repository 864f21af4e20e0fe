// svcbridge's session with systemd's manager on the system bus (DBUS_SYSTEM_BUS_ADDRESS when
// set). A unit plays the service: Open loads it, QueryState reads its ActiveState, Start and
// Stop queue a job as the control manager would take a start or a stop. systemd decides on the
// rights of each call itself, so the access a call asks for changes nothing here.
#include "platform/service_manager.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/posix/systemd/units.h"

namespace platform {
namespace {

constexpr char kManagerName[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
constexpr char kManagerInterface[] = "org.freedesktop.systemd1.Manager";
constexpr char kUnitInterface[] = "org.freedesktop.systemd1.Unit";

// Every call waits at most this long for the manager's answer (sd-bus would wait 25 s), so that
// a stuck manager costs a caller a few seconds per call, not a hang.
constexpr uint64_t kCallTimeoutUsec = 5 * 1000 * 1000;

// Waits for the bus to take the connection (authentication and Hello) within the call timeout:
// sd-bus would wait 90 s for a bus that accepts the connection and never answers.
bool WaitUntilReady(sd_bus* bus) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::microseconds(kCallTimeoutUsec);
  for (;;) {
    int result = sd_bus_is_ready(bus);
    if (result != 0) return result > 0;
    result = sd_bus_process(bus, nullptr);
    if (result < 0) return false;
    if (result > 0) continue;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || sd_bus_wait(bus, static_cast<uint64_t>(left.count())) < 0) {
      return false;
    }
  }
}

struct BusError {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~BusError() { sd_bus_error_free(&error); }
};

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// Closed without a flush: every call has had its answer, and a flush would wait for a bus that
// never took the connection.
struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};

class SystemdServiceManagerSession : public ServiceManagerSession {
 public:
  bool Open(const std::string& name, ServiceAccess) override {
    unit_ = SystemdUnitName(name);
    if (bus_ || !IsValidUnitName(unit_)) return false;
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return false;
    bus_.reset(bus);
    if (sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec) < 0 || !WaitUntilReady(bus)) {
      return false;
    }
    // LoadUnit rather than GetUnit: systemd unloads a stopped unit nobody refers to, which
    // GetUnit then calls unknown; LoadUnit answers for every name, with "not-found" for a unit
    // that has no file.
    Message reply;
    if (!CallManager("LoadUnit", reply, false)) return false;
    const char* path = nullptr;
    if (sd_bus_message_read(reply.get(), "o", &path) <= 0) return false;
    path_ = path;
    std::string loadState;
    if (!ReadUnitProperty("LoadState", loadState) || loadState == "not-found") {
      path_.clear();
      return false;
    }
    return true;
  }

  bool QueryState(int& state) override {
    std::string activeState;
    return ReadUnitProperty("ActiveState", activeState) && ManagedStateOf(activeState, state);
  }

  // systemd would take a start of a running unit as done; the control manager refuses it, and
  // so does this session.
  bool Start() override {
    int state = 0;
    if (!QueryState(state) || state != kManagedStopped) return false;
    Message reply;
    return CallManager("StartUnit", reply, true);
  }

  bool Stop() override {
    int state = 0;
    if (!QueryState(state) || state == kManagedStopped) return false;
    Message reply;
    return CallManager("StopUnit", reply, true);
  }

 private:
  // One Manager method on the unit's name; a job method also names the job mode "replace",
  // so that the request overrides a queued opposite job as systemctl's does. Interactive
  // authorisation stays off: a refusal is a plain failure, never a password prompt.
  bool CallManager(const char* method, Message& reply, bool job) {
    BusError error;
    sd_bus_message* answer = nullptr;
    const int result =
        job ? sd_bus_call_method(bus_.get(), kManagerName, kManagerPath, kManagerInterface, method,
                                 &error.error, &answer, "ss", unit_.c_str(), "replace")
            : sd_bus_call_method(bus_.get(), kManagerName, kManagerPath, kManagerInterface, method,
                                 &error.error, &answer, "s", unit_.c_str());
    reply.reset(answer);
    return result >= 0;
  }

  bool ReadUnitProperty(const char* property, std::string& value) {
    if (!bus_ || path_.empty()) return false;
    BusError error;
    char* text = nullptr;
    if (sd_bus_get_property_string(bus_.get(), kManagerName, path_.c_str(), kUnitInterface,
                                   property, &error.error, &text) < 0) {
      return false;
    }
    value = text;
    std::free(text);
    return true;
  }

  std::unique_ptr<sd_bus, BusClose> bus_;
  std::string unit_;
  std::string path_;  // the unit's object; empty until Open has found the unit
};

}  // namespace

std::unique_ptr<ServiceManagerSession> NewServiceManagerSession() {
  return std::make_unique<SystemdServiceManagerSession>();
}

}  // namespace platform
