// The common settings of section "upstab" of upstab.ini, with their defaults and corrections.
#pragma once

namespace wardend {

class ServiceContext;
class SrvLog;

// Largest logsize: the status record holds 128 bytes.
constexpr int kMaxLogSize = 128;

// Start-up only: checks that upstab.ini, msg.ini, upsrc.ini and sched.ini open (in that order),
// requires upsname, and reads logsize, UdpMessageService, enabletimer, upsport, xupsport,
// SrvType, history, InitiateSystemShutdown and mbs4waittime. 1 on success; 0 after one SrvLog
// line naming the cause.
int ReadCommonSettings(ServiceContext& context, SrvLog& srvLog);

// Start-up and every reload: the upslog path (written back when missing), watchinterval,
// cleaninterval, untilshutdown, forshutdown, upsautodown, autoreboot, enableputoff and
// putofftime. 1 on success; 0 after one SrvLog line when the section is missing or empty.
int ReadCommonData(ServiceContext& context, SrvLog& srvLog);

}  // namespace wardend
