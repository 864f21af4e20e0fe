// The delivery of one session message: to the people at this computer and, with
// MessengerService 2, to every other host that has a network session with a user open to it.
// Every step writes its diagnostic line; nothing is retried.
#pragma once

#include <string>

namespace platform {
class SessionMessages;
}

namespace wardend {

class SrvLog;

class SessionDelivery {
 public:
  // "more data" of the session enumeration: only then does a further batch follow.
  static constexpr int kMoreData = 234;

  SessionDelivery(platform::SessionMessages& system, SrvLog& srvLog)
      : system_(system), srvLog_(srvLog) {}

  // Delivers CP932 text with the reach of messengerService (1 own computer, 2 also partners).
  void Deliver(const std::string& text, int messengerService);
  // False where no other host can have a session (MessengerService 2 then reaches as 1 does).
  bool ReachesPartners() const;

 private:
  void ToOwnComputer(const std::string& computer, const std::string& text);
  void ToLocalSessions(const std::string& computer, const std::string& text);
  void ToPartners(const std::string& computer, const std::string& text);

  platform::SessionMessages& system_;
  SrvLog& srvLog_;
};

}  // namespace wardend
