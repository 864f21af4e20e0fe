// svcbridge's session with the local service control manager. Only the rights a call needs are
// asked for: connect to the manager; query the status of the service, plus start or stop.
#include "platform/service_manager.h"

#include "platform/win32/windows_support.h"

namespace platform {
namespace {

DWORD ServiceRights(ServiceAccess access) {
  switch (access) {
    case ServiceAccess::kStart: return SERVICE_QUERY_STATUS | SERVICE_START;
    case ServiceAccess::kStop: return SERVICE_QUERY_STATUS | SERVICE_STOP;
    case ServiceAccess::kQuery: break;
  }
  return SERVICE_QUERY_STATUS;
}

class Win32ServiceManagerSession : public ServiceManagerSession {
 public:
  ~Win32ServiceManagerSession() override {
    if (service_ != nullptr) CloseServiceHandle(service_);
    if (manager_ != nullptr) CloseServiceHandle(manager_);
  }

  bool Open(const std::string& name, ServiceAccess access) override {
    manager_ = OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    if (manager_ == nullptr) return false;
    service_ = OpenServiceA(manager_, name.c_str(), ServiceRights(access));
    return service_ != nullptr;
  }

  bool QueryState(int& state) override {
    SERVICE_STATUS status{};
    if (service_ == nullptr || !QueryServiceStatus(service_, &status)) return false;
    state = static_cast<int>(status.dwCurrentState);
    return true;
  }

  bool Start() override { return service_ != nullptr && StartServiceA(service_, 0, nullptr); }

  bool Stop() override {
    SERVICE_STATUS status{};
    return service_ != nullptr && ControlService(service_, SERVICE_CONTROL_STOP, &status);
  }

 private:
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

}  // namespace

std::unique_ptr<ServiceManagerSession> NewServiceManagerSession() {
  return std::make_unique<Win32ServiceManagerSession>();
}

}  // namespace platform
