#include "platform/sockets.h"

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class WinsockLayer : public SocketLayer {
 public:
  // WSAStartup hands back its error number itself; WSAGetLastError is not usable before a
  // successful start.
  int Startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
  }
  // A failed clean-up (no start, or calls still blocking) leaves nothing for the caller to do.
  void Cleanup() override { static_cast<void>(WSACleanup()); }
};

}  // namespace

SocketLayer& SystemSocketLayer() {
  static WinsockLayer layer;
  return layer;
}

}  // namespace platform
