#include "tools/wardctl/messages.h"

#include "protocol/command_datagram.h"

namespace wardctl {

namespace {

std::string RequestName(int code) {
  switch (code) {
    case protocol::kCodeStartMonitoring: return "status";
    case protocol::kCodeInformation: return "info";
    case protocol::kCodeReloadTab: return "reload";
    case protocol::kCodeSchedule: return "schedule";
    case protocol::kCodeUpshut: return "upshut";
    case protocol::kCodeSelfTest: return "selftest";
    default: return "request " + std::to_string(code);
  }
}

std::string Why(int sentCode, int requestCode, int reason) {
  using namespace protocol;  // NOLINT: the codes and reasons read as a table
  if (requestCode == kCodeStartMonitoring && reason == kReasonRefused) {
    if (sentCode != kCodeStartMonitoring) {
      return "the service is not ready: its UPS link is not up (yet)";
    }
    return "the service has no status to send yet, or is not ready (its UPS link is not up)";
  }
  switch (reason) {
    case kReasonNoAccess:
      return "the request lacks the access signature";
    case kReasonRefused:
      if (sentCode == kCodeUpshut) return "the timer function is off (enabletimer is not 1)";
      if (sentCode == kCodeSelfTest) {
        return "the self-test could not be started (the UPS link came up less than 60 s ago)";
      }
      break;
    case kReasonTimes:
      return "the restart must not come before the shutdown (START_MIN below STOP_MIN)";
    case kReasonBusy:
      if (sentCode == kCodeReloadTab) {
        return "a shutdown is in progress, or the settings could not be read (see srvlog.log)";
      }
      return "a shutdown is in progress";
    case kReasonNotNormal:
      return "the UPS is not in the normal state";
    case kReasonHostNotAllowed:
      return "this host is not listed in commandhosts of the service's upstab.ini";
    default:
      break;
  }
  return "reason " + std::to_string(reason);
}

}  // namespace

Failure Refusal(int sentCode, int requestCode, int reason) {
  Failure failure;
  failure.kind = FailureKind::Refused;
  failure.request = requestCode;
  failure.reason = reason;
  failure.message = RequestName(sentCode) + " refused: " + Why(sentCode, requestCode, reason);
  return failure;
}

const char* FailureName(FailureKind kind) {
  switch (kind) {
    case FailureKind::Refused: return "refused";
    case FailureKind::Timeout: return "timeout";
    case FailureKind::Host: return "host";
    case FailureKind::Network: return "network";
  }
  return "network";
}

}  // namespace wardctl
