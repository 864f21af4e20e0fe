// Linux only: the end of the signal watcher that RegisterHandler starts. RunServiceDispatcher
// calls it when the service main function returns; tests that register a handler without the
// dispatcher call it themselves.
#pragma once

namespace platform {
namespace posix {

void StopServiceSignalWatcher();

}  // namespace posix
}  // namespace platform
