// How svcbridge's service names and states read on a systemd machine: a name is a unit name,
// and a unit's ActiveState stands for the control manager's service state.
#pragma once

#include <string>

namespace platform {

// The unit a service name stands for: "VoltSentry" (any case) is the unit the package installs,
// voltsentry.service; a name that does not end in a unit type gets ".service"; any other name is
// kept as it is.
std::string SystemdUnitName(const std::string& serviceName);

// True for a plain or instance unit name ("name.type", "name@instance.type") that systemd would
// take. Anything else is refused before it reaches the bus: a template without an instance, an
// empty name, characters outside systemd's set, more than 255 bytes.
bool IsValidUnitName(const std::string& unit);

// The ManagedServiceState of an ActiveState: inactive and failed are STOPPED, activating
// START_PENDING, deactivating STOP_PENDING, active and reloading RUNNING. False for any other
// text, which this library cannot read as a service state.
bool ManagedStateOf(const std::string& activeState, int& state);

}  // namespace platform
