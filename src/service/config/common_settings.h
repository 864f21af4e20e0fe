// The common settings of section "upstab" of upstab.ini, with their defaults and corrections.
#pragma once

#include <string>

namespace wardend {

class ServiceContext;
class SrvLog;

// Largest logsize: the status record holds 128 bytes.
constexpr int kMaxLogSize = 128;

// Start-up only: checks that upstab.ini, msg.ini, upsrc.ini and sched.ini open (in that order),
// requires upsname, and reads logsize, UdpMessageService, enabletimer, upsport, xupsport,
// SrvType, history, InitiateSystemShutdown and mbs4waittime (0 or less: 10, with a line).
// Integers without a leading number read as their default. 1 on success; 0 after one SrvLog
// line naming the cause, and *cause (when given) says it for an administrator: the file with
// its full path, the section or the key that is missing.
int ReadCommonSettings(ServiceContext& context, SrvLog& srvLog, std::string* cause = nullptr);

// Start-up and every reload: the upslog path (written back when missing), watchinterval,
// cleaninterval, untilshutdown, forshutdown, upsautodown (0 or less: 120, with a line),
// autoreboot, enableputoff, putofftime, and ours statusinterval, replylimit and commandhosts.
// All are read into one set that is published in one step (ServiceContext::PublishCommonData). 1 on
// success; 0 after one SrvLog line when the section is missing or empty, with nothing changed
// and *cause (when given) as for ReadCommonSettings.
int ReadCommonData(ServiceContext& context, SrvLog& srvLog, std::string* cause = nullptr);

}  // namespace wardend
