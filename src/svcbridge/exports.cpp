// The library's three calls: a session with this machine's service manager, the default
// polling, and the system's sleep. The library keeps nothing between calls.
#include "svcbridge/svcbridge.h"

#include <chrono>
#include <thread>

#include "platform/service_manager.h"
#include "svcbridge/service_calls.h"

namespace {

svcbridge::Polling SystemPolling() {
  svcbridge::Polling polling;
  polling.pause = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  return polling;
}

}  // namespace

extern "C" int SVCBRIDGE_CALL getSvcStatus(const char* serviceName) {
  return svcbridge::QueryServiceStatus(platform::NewServiceManagerSession(), serviceName);
}

extern "C" int SVCBRIDGE_CALL start_service(const char* serviceName) {
  return svcbridge::StartServiceAndWait(platform::NewServiceManagerSession(), serviceName,
                                        SystemPolling());
}

extern "C" int SVCBRIDGE_CALL stop_service(const char* serviceName) {
  return svcbridge::StopServiceAndWait(platform::NewServiceManagerSession(), serviceName,
                                       SystemPolling());
}
