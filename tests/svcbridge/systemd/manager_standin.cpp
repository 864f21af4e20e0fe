// A stand-in of systemd's manager for svcbridge's tests, on the private bus the test starts
// (DBUS_SYSTEM_BUS_ADDRESS): it owns org.freedesktop.systemd1, answers LoadUnit, StartUnit and
// StopUnit on /org/freedesktop/systemd1 and the LoadState and ActiveState of its units, and
// writes one line per call to the log file given as its argument:
//   LoadUnit <unit> | StartUnit <unit> <mode> | StopUnit <unit> <mode> | Get <unit> <property>
// (with " interactive" appended when the caller allowed interactive authorisation).
// Units follow the scripts of kUnits: each read of ActiveState moves one step along the unit's
// current script and stays on its last step. With --silent it owns the name and never answers.
// It writes "ready" to stdout once it owns the name, and ends with the bus or its parent.
#include <systemd/sd-bus.h>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

struct Unit {
  std::string loadState = "loaded";
  std::deque<std::string> states;  // front: the state of the next read
  std::vector<std::string> onStart;
  std::vector<std::string> onStop;
  bool refuses = false;  // StartUnit and StopUnit answer "access denied"
};

struct UnitScript {
  const char* name;
  std::vector<std::string> initial, onStart, onStop;
  bool refuses;
};

const UnitScript kUnits[] = {
    {"voltsentry.service", {"inactive"}, {"activating", "active"}, {"deactivating", "inactive"},
     false},
    {"running.service", {"active"}, {"active"}, {"deactivating", "inactive"}, false},
    {"stopped.service", {"inactive"}, {"activating", "active"}, {"inactive"}, false},
    {"failed.service", {"failed"}, {"activating", "active"}, {"failed"}, false},
    // Stays activating: a start counts as done all the same.
    {"slow.service", {"inactive"}, {"activating"}, {"inactive"}, false},
    // Leaves inactive at the third read after the start.
    {"late.service", {"inactive"}, {"inactive", "inactive", "active"}, {"inactive"}, false},
    // Never stops.
    {"stuck.service", {"active"}, {"active"}, {"deactivating"}, false},
    {"stopping.service", {"deactivating"}, {"active"}, {"deactivating"}, false},
    {"reloading.service", {"reloading"}, {"reloading"}, {"inactive"}, false},
    {"refusing.service", {"inactive"}, {}, {}, true},
    {"odd.service", {"maintenance"}, {}, {}, false},
    {"foo.service", {"inactive"}, {"active"}, {"inactive"}, false},
    {"bar.socket", {"active"}, {"active"}, {"inactive"}, false},
};

constexpr char kUnitPrefix[] = "/org/freedesktop/systemd1/unit";

struct Manager {
  FILE* log = nullptr;
  std::map<std::string, Unit> units;
  std::map<std::string, std::string> unitOfPath;
  int jobs = 0;

  void Log(sd_bus_message* m, const std::string& line) {
    const bool interactive = sd_bus_message_get_allow_interactive_authorization(m) > 0;
    std::fprintf(log, "%s%s\n", line.c_str(), interactive ? " interactive" : "");
    std::fflush(log);
  }

  // The unit's object path; like systemd, a unit without a file is loaded as "not-found".
  std::string Load(const std::string& name) {
    if (units.find(name) == units.end()) {
      Unit unknown;
      unknown.loadState = "not-found";
      unknown.states = {"inactive"};
      units[name] = unknown;
    }
    char* path = nullptr;
    sd_bus_path_encode(kUnitPrefix, name.c_str(), &path);
    const std::string result = path ? path : "";
    std::free(path);
    unitOfPath[result] = name;
    return result;
  }
};

int ReplyError(sd_bus_message* m, const char* name, const char* text) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_error_set(&error, name, text);
  const int r = sd_bus_reply_method_error(m, &error);
  sd_bus_error_free(&error);
  return r < 0 ? r : 1;
}

int OnManager(sd_bus_message* m, void* userdata, sd_bus_error*) {
  auto& manager = *static_cast<Manager*>(userdata);
  const char* iface = "org.freedesktop.systemd1.Manager";
  if (sd_bus_message_is_method_call(m, iface, "LoadUnit")) {
    const char* name = nullptr;
    if (sd_bus_message_read(m, "s", &name) < 0) return -EINVAL;
    manager.Log(m, std::string("LoadUnit ") + name);
    return sd_bus_reply_method_return(m, "o", manager.Load(name).c_str());
  }
  const bool start = sd_bus_message_is_method_call(m, iface, "StartUnit") > 0;
  if (start || sd_bus_message_is_method_call(m, iface, "StopUnit")) {
    const char* name = nullptr;
    const char* mode = nullptr;
    if (sd_bus_message_read(m, "ss", &name, &mode) < 0) return -EINVAL;
    manager.Log(m, std::string(start ? "StartUnit " : "StopUnit ") + name + " " + mode);
    auto unit = manager.units.find(name);
    if (unit == manager.units.end() || unit->second.loadState == "not-found") {
      return ReplyError(m, "org.freedesktop.systemd1.NoSuchUnit", "Unit not found.");
    }
    if (unit->second.refuses) {
      return ReplyError(m, SD_BUS_ERROR_ACCESS_DENIED, "Access denied");
    }
    const auto& script = start ? unit->second.onStart : unit->second.onStop;
    unit->second.states.assign(script.begin(), script.end());
    const std::string job = "/org/freedesktop/systemd1/job/" + std::to_string(++manager.jobs);
    return sd_bus_reply_method_return(m, "o", job.c_str());
  }
  return 0;
}

int OnUnit(sd_bus_message* m, void* userdata, sd_bus_error*) {
  auto& manager = *static_cast<Manager*>(userdata);
  if (!sd_bus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get")) return 0;
  const auto found = manager.unitOfPath.find(sd_bus_message_get_path(m));
  if (found == manager.unitOfPath.end()) return 0;
  const char* iface = nullptr;
  const char* property = nullptr;
  if (sd_bus_message_read(m, "ss", &iface, &property) < 0) return -EINVAL;
  manager.Log(m, "Get " + found->second + " " + property);
  Unit& unit = manager.units[found->second];
  std::string value;
  if (std::strcmp(iface, "org.freedesktop.systemd1.Unit") == 0 &&
      std::strcmp(property, "LoadState") == 0) {
    value = unit.loadState;
  } else if (std::strcmp(iface, "org.freedesktop.systemd1.Unit") == 0 &&
             std::strcmp(property, "ActiveState") == 0) {
    value = unit.states.front();
    if (unit.states.size() > 1) unit.states.pop_front();
  } else {
    return ReplyError(m, SD_BUS_ERROR_UNKNOWN_PROPERTY, "Unknown property");
  }
  return sd_bus_reply_method_return(m, "v", "s", value.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Never outlive the test that started it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LOG [--silent]\n", argv[0]);
    return 2;
  }
  const bool silent = argc > 2 && std::strcmp(argv[2], "--silent") == 0;
  Manager manager;
  manager.log = std::fopen(argv[1], "a");
  if (!manager.log) return 1;
  for (const auto& script : kUnits) {
    Unit unit;
    unit.states.assign(script.initial.begin(), script.initial.end());
    unit.onStart = script.onStart;
    unit.onStop = script.onStop;
    unit.refuses = script.refuses;
    manager.units[script.name] = unit;
  }

  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return 1;
  sd_bus_slot* managerSlot = nullptr;
  sd_bus_slot* unitSlot = nullptr;
  if (sd_bus_add_object(bus, &managerSlot, "/org/freedesktop/systemd1", OnManager, &manager) < 0 ||
      sd_bus_add_fallback(bus, &unitSlot, kUnitPrefix, OnUnit, &manager) < 0 ||
      // The stand-in of the test before may still hold the name for a moment: take it over.
      sd_bus_request_name(bus, "org.freedesktop.systemd1",
                          SD_BUS_NAME_REPLACE_EXISTING | SD_BUS_NAME_ALLOW_REPLACEMENT) < 0) {
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  if (silent) {
    // Owns the name and lets every call wait; the bus keeps the name while the connection lives.
    for (;;) pause();
  }
  for (;;) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) break;
    if (r > 0) continue;
    if (sd_bus_wait(bus, UINT64_MAX) < 0) break;
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
