#include "tools/upssim/pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace upssim {

namespace {

bool Fail(const char* call, std::string* error) {
  *error = std::string(call) + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool OpenPseudoTerminal(PseudoTerminal* pty, std::string* error) {
  pty->master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!pty->master.Valid()) return Fail("posix_openpt", error);
  if (::grantpt(pty->master.Get()) != 0) return Fail("grantpt", error);
  if (::unlockpt(pty->master.Get()) != 0) return Fail("unlockpt", error);
  char name[128];
  const int rc = ::ptsname_r(pty->master.Get(), name, sizeof name);
  if (rc != 0) {
    errno = rc;
    return Fail("ptsname_r", error);
  }
  pty->slavePath = name;
  pty->slave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!pty->slave.Valid()) return Fail("open slave", error);

  termios tio{};
  if (::tcgetattr(pty->slave.Get(), &tio) != 0) return Fail("tcgetattr", error);
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(pty->slave.Get(), TCSANOW, &tio) != 0) return Fail("tcsetattr", error);
  return true;
}

}  // namespace upssim
