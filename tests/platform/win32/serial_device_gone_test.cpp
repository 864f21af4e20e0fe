// Which Win32 serial errors mean the adapter itself is gone, so that the port is opened afresh
// instead of being retried as it is.
#include <gtest/gtest.h>

#include "platform/serial.h"
#include "platform/win32/windows_support.h"

namespace {

TEST(SerialDeviceGone, RemovedAdapterErrors) {
  for (const long error : {ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED, ERROR_ACCESS_DENIED,
                           ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED, ERROR_NOT_READY,
                           ERROR_INVALID_HANDLE, ERROR_DEV_NOT_EXIST}) {
    EXPECT_TRUE(platform::SerialDeviceGone(static_cast<int>(error))) << error;
  }
}

TEST(SerialDeviceGone, ErrorsOfALivePortOrOfOpening) {
  // Success, a read time-out, a released wait, a pending request, a parameter the driver
  // refuses, and a port that was never there.
  for (const long error : {ERROR_SUCCESS, ERROR_TIMEOUT, ERROR_OPERATION_ABORTED, ERROR_IO_PENDING,
                           ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}) {
    EXPECT_FALSE(platform::SerialDeviceGone(static_cast<int>(error))) << error;
  }
}

}  // namespace
