// What wardctl says when a request fails: the service refused it (each NAK reason in the terms
// of the request that was sent), no answer came, the host is unknown, or the network failed.
#pragma once

#include <string>

namespace wardctl {

enum class FailureKind { Refused, Timeout, Host, Network };

struct Failure {
  FailureKind kind = FailureKind::Network;
  std::string message;
  int request = 0;  // Refused: byte 120 of the NAK
  int reason = 0;   // Refused: byte 121 of the NAK
};

// The refusal of sentCode by a NAK carrying requestCode and reason. A service that is not ready
// refuses every request as if it were monitoring (requestCode 6, reason 2).
Failure Refusal(int sentCode, int requestCode, int reason);

// The name of a failure kind in JSON: "refused", "timeout", "host", "network".
const char* FailureName(FailureKind kind);

}  // namespace wardctl
