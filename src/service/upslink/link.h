// The service's view of a UPS link. The serial UPS link (kind 150) is its one implementation;
// tests use fakes. All operations return 0 for false and non-zero for true unless stated.
#pragma once

#include <string>

namespace wardend {

class ServiceContext;

class Link {
 public:
  virtual ~Link() = default;

  // Keeps the context; sets its linkKind and its code-90 switch.
  virtual void Attach(ServiceContext* context) = 0;
  // Settings from the registry: never called by the service.
  virtual int LoadRegistrySettings() = 0;
  // Reads the link's keys of section "upstab"; false when no port name is configured.
  virtual int LoadIniSettings(const std::string& upstabPath) = 0;
  // Opens the port and runs the handshake; true when the link is up.
  virtual int Open() = 0;
  // Closes the port and ends the receive thread.
  virtual int Close() = 0;
  // Ends every wait of the link at once (a handshake or power-off command in progress) and
  // refuses every request from now on, so that the service can stop without waiting for a
  // silent UPS. Any thread; Close still follows.
  virtual int Abort() = 0;
  virtual int ReloadSettings() = 0;
  // Sends a status request and counts it in failCount.
  virtual int RequestStatus() = 0;
  // Takes and decodes replies, waiting up to 5 s for one; a status code (1, 2, 13, 38, 90) or
  // -2 when no valid frame came.
  virtual int ReceiveStatus() = 0;
  // Alarm event code of the current status: 0, 51, 82 or 95.
  virtual int AlarmCode() = 0;
  // Power-off delay and restart delay in seconds (0 or less: no restart).
  virtual int CommandShutdown(int offDelay, int restartDelay) = 0;
  virtual int SelfTestDue() = 0;
  virtual int StartSelfTest() = 0;
  virtual int Periodic() = 0;
};

}  // namespace wardend
