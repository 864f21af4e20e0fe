// The simulator's end of the serial line: a pseudo-terminal in raw mode. The service opens the
// slave device by its path; the simulator reads and writes the master.
#pragma once

#include <string>

#include "platform/posix/unique_fd.h"

namespace upssim {

using platform::posix::UniqueFd;

struct PseudoTerminal {
  UniqueFd master;  // non-blocking
  // The simulator keeps the slave open itself, so that the master never sees a hang-up while
  // the service has the port closed (a hung-up master would make poll() spin).
  UniqueFd slave;
  std::string slavePath;
};

// Opens a master/slave pair and puts the line into raw mode (no echo, no line editing, no
// translation), so that frames pass byte for byte. False with the reason in *error.
bool OpenPseudoTerminal(PseudoTerminal* pty, std::string* error);

}  // namespace upssim
