// wardctl from its arguments to its exit status, with the socket layer and the clock given, so
// that tests run the whole client in their own process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sockets.h"

namespace wardctl {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // refused, no answer, unknown host, network error
constexpr int kExitUsage = 2;

struct Environment {
  platform::SocketLayer& sockets;  // started by the caller
  platform::Clock& clock;
  int receiveWaitMs = 1000;        // the longest single receive wait
};

// Runs the command of args (the arguments after the program name). Answers go to out; failures
// to err, or to out as JSON with --json; usage errors to err.
int Run(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
        std::ostream& err);

}  // namespace wardctl
