// Start and clean-up of the socket layer (Winsock 1.1 on Windows; nothing to do on Linux).
#pragma once

namespace platform {

class SocketLayer {
 public:
  virtual ~SocketLayer() = default;
  // 0 on success, else the system's error number (WSAGetLastError).
  virtual int Startup() = 0;
  virtual void Cleanup() = 0;
};

SocketLayer& SystemSocketLayer();

}  // namespace platform
