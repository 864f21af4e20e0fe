// Whether the service answers on a host, asked over the UDP protocol itself: where there is no
// service control manager to ask (Linux, a service on another host, a service run in the
// foreground), an answer to an information request is the proof that it runs.
#pragma once

#include <string>

#include "linewatch/core/monitor_workers.h"
#include "platform/clock.h"
#include "platform/sockets.h"

namespace linewatch {

struct MonitorContext;

// How long the probe waits for the answer.
constexpr int kServiceProbeTimeoutMs = 1000;

// Sends one information request (kind 0) from a socket of its own to host:port, the host
// resolved as the monitor resolves it, and waits up to timeoutMs. True when an ACK, NAK or
// information reply comes from the address asked; datagrams from elsewhere and anything else
// are passed over while the time lasts. Blocks the calling thread for up to timeoutMs.
bool ServiceAnswers(platform::SocketLayer& sockets, const std::string& host,
                    const std::string& localHostName, int port, int timeoutMs);
// The same with the clock that stamps the request and measures the wait.
bool ServiceAnswers(platform::SocketLayer& sockets, platform::Clock& clock,
                    const std::string& host, const std::string& localHostName, int port,
                    int timeoutMs);

// The monitor's service check built on the probe: the context's local computer name and upsport,
// kServiceProbeTimeoutMs. The sockets must outlive the check.
ServiceCheck ServiceProbeCheck(platform::SocketLayer& sockets, const MonitorContext& context);

}  // namespace linewatch
