// wardctl: the administrators' command-line client of wardend's UDP service.
#include <iostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "tools/wardctl/run.h"

int main(int argc, char** argv) {
  platform::UseConsoleCodePage();  // no console (output to a file or pipe): nothing to switch
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  const int error = sockets.Startup();
  if (error != 0) {
    std::cerr << "wardctl: the socket layer did not start (error " << error << ")\n";
    return wardctl::kExitFailure;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status =
      wardctl::Run(args, wardctl::Environment{sockets, platform::SystemClock()}, std::cout,
                   std::cerr);
  sockets.Cleanup();
  return status;
}
