// Stand-in for the schedule until it lands.
#pragma once

#include "service/schedule/schedule.h"

namespace wardend {

class ServiceContext;
class SrvLog;

// Placeholder until the schedule lands: no calendar is read, so every schedule time stays
// unset (nothing is planned) and the result is 0 (nothing computed).
class PlaceholderSchedule : public Schedule {
 public:
  PlaceholderSchedule(ServiceContext& context, SrvLog& srvLog)
      : context_(context), srvLog_(srvLog) {}
  int RefreshSchedule() override;

 private:
  ServiceContext& context_;
  SrvLog& srvLog_;
};

}  // namespace wardend
