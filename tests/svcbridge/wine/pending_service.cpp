// A service that reports START_PENDING and stays there until it is told to stop, so that a test
// sees that state at its first poll whatever the timing. It ends by itself after two minutes so
// that a failed test leaves nothing behind.
#include "platform/win32/windows_support.h"

namespace {

char kName[] = "SvcbridgePending";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopEvent = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP;
  status.dwWaitHint = 120000;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) SetEvent(stopEvent);
  return NO_ERROR;
}

void WINAPI Main(DWORD, char**) {
  statusHandle = RegisterServiceCtrlHandlerExA(kName, Control, nullptr);
  if (statusHandle == nullptr) return;
  Report(SERVICE_START_PENDING);
  WaitForSingleObject(stopEvent, 120000);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYA table[] = {{kName, Main}, {nullptr, nullptr}};
  return stopEvent != nullptr && StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
