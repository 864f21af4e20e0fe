#include <gtest/gtest.h>

#include "platform/service_control.h"

namespace {

// Started by hand instead of by the control manager (on Linux: without --foreground), the
// dispatcher refuses and the service main function never runs.
TEST(ServiceControl, OutsideTheControlManagerTheDispatcherRefuses) {
  bool ran = false;
  char program[] = "wardend";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStderr();
  const int result =
      platform::RunServiceDispatcher("VoltSentryTest", [&] { ran = true; }, 1, argv);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(ran);
}

}  // namespace
