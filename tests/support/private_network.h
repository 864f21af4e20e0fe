// Broadcast tests run inside a private network namespace whose only interface is the loopback
// (up, with the default route on it), so that a broadcast never leaves this machine.
#pragma once

#include <string>

namespace vstest {

// Inside such a namespace: true, and the test goes on. Outside: runs this test program again
// inside a fresh one for the tests that match filter (a failure of that run is a failure of the
// calling test) and returns false; the caller returns at once, or skips with *skip when it is
// set (no namespace can be had here, or not on this system).
bool InPrivateNetwork(const std::string& filter, std::string* skip);

}  // namespace vstest
