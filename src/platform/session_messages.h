// Messages shown to people: at this computer and at the hosts that have a network session open
// to it. The service decides whom to tell and writes its diagnostic lines; a backend only asks
// the system. Windows: the messenger service (NetWkstaGetInfo, NetMessageBufferSend,
// NetSessionEnum) and, for the people at this computer, the active terminal sessions
// (WTSSendMessage, no wait for an answer). Linux: no messenger service and no network sessions;
// the people at this computer are the terminals of logged-in users (utmpx), written like wall
// does (UTF-8, non-blocking; a terminal that does not take the text is skipped).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/user_sessions.h"

namespace platform {

// One place at this computer the text was handed to.
struct LocalDelivery {
  std::string where;  // Windows: "session N"; Linux: the terminal's device path
  int error = 0;      // 0: taken; else the system's error number
};

class SessionMessages {
 public:
  virtual ~SessionMessages() = default;
  // The name of this computer (workstation information, level 100), in CP932: 0, or the
  // system's error number with *name left empty.
  virtual int ComputerName(std::string* name) = 0;
  // True when the system has a messenger service that delivers to names (Windows).
  virtual bool HasMessenger() = 0;
  // True when other hosts can have network sessions with this one (Windows).
  virtual bool HasNetworkSessions() = 0;
  // Sends CP932 text through the messenger service to name: 0, or the system's error number.
  virtual int SendToName(const std::string& name, const std::string& text) = 0;
  // The next batch of network sessions of this server, without a size limit. *resume starts
  // at 0 and is carried to the next call, which is only meaningful after status 234.
  virtual NetSessionBatch NextSessions(std::uint32_t* resume) = 0;
  // Hands CP932 text (with a short title) to every person at this computer without waiting for
  // an answer; one entry per place tried.
  virtual std::vector<LocalDelivery> DeliverLocally(const std::string& title,
                                                    const std::string& text) = 0;
};

// The real backend of this system. Linux reads the login records named by the environment
// variable VOLTSENTRY_UTMPX when it is set, else the system's own.
SessionMessages& SystemSessionMessages();

}  // namespace platform
