// The monitor's service check. Only SC_MANAGER_CONNECT and SERVICE_QUERY_STATUS are asked for:
// a user who may not administer services may still see whether one runs.
#include "platform/service_query.h"

#include <cctype>

#include "platform/win32/windows_support.h"

namespace platform {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

std::string ComputerName(COMPUTER_NAME_FORMAT format) {
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameExA(format, buffer, &size)) return std::string();
  return std::string(buffer, size);
}

}  // namespace

bool NamesLocalMachine(const std::string& host, const std::string* localNames, int count) {
  if (host.empty() || SameIgnoringCase(host, "localhost") || host == "127.0.0.1") return true;
  for (int i = 0; i < count; ++i) {
    if (!localNames[i].empty() && SameIgnoringCase(host, localNames[i])) return true;
  }
  return false;
}

bool QueryServiceRunning(const std::string& host, const std::string& serviceName) {
  const std::string localNames[] = {ComputerName(ComputerNameNetBIOS),
                                    ComputerName(ComputerNameDnsHostname),
                                    ComputerName(ComputerNameDnsFullyQualified)};
  const bool local = NamesLocalMachine(host, localNames, 3);
  const std::string machine = local ? std::string() : "\\\\" + host;
  ServiceHandle manager(
      OpenSCManagerA(local ? nullptr : machine.c_str(), nullptr, SC_MANAGER_CONNECT));
  if (manager.Get() == nullptr) return false;
  ServiceHandle service(OpenServiceA(manager.Get(), serviceName.c_str(), SERVICE_QUERY_STATUS));
  if (service.Get() == nullptr) return false;
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service.Get(), &status)) return false;
  return status.dwCurrentState == SERVICE_RUNNING;
}

}  // namespace platform
