#include "platform/sockets.h"

namespace platform {

namespace {

// BSD sockets need no start-up.
class PosixSocketLayer : public SocketLayer {
 public:
  int Startup() override { return 0; }
  void Cleanup() override {}
};

}  // namespace

SocketLayer& SystemSocketLayer() {
  static PosixSocketLayer layer;
  return layer;
}

}  // namespace platform
