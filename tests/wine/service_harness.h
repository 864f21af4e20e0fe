// What the tests of services under Wine's control manager share: Windows paths of Unix files,
// hidden commands with a bounded wait, the state of a service, its removal, and the
// installation directory a test service reads (VS_WINE_INSTALL_DIR, filled from
// VS_WINE_EXAMPLES_DIR), named as PathName in the product key.
#pragma once

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/win32/windows_support.h"

namespace wineservice {

constexpr char kProductKey[] = "HKLM\\Software\\Quillon\\VoltSentry\\CurrentVersion";

// The Windows path of a file given by its Unix path: Z: is the Unix root under Wine.
inline std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string InstallFile(const char* name) {
  return std::string(VS_WINE_INSTALL_DIR) + "\\" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a command line hidden, its output into outputFile when given, and waits up to timeoutMs;
// the exit code, or -2 on failure or time-out (the process is then ended, as a test must not
// hang).
inline long RunCommand(const std::string& commandLine, int timeoutMs = 30000,
                       const std::string& outputFile = "") {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  platform::win32::UniqueHandle output;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output.Reset(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.Valid()) return -2;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output.Get();
  }
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, output.Valid(), 0, nullptr,
                      nullptr, &startup, &process)) {
    return -2;
  }
  platform::win32::UniqueHandle processHandle(process.hProcess);
  platform::win32::UniqueHandle threadHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    return -2;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) return -2;
  return static_cast<long>(code);
}

// The current state of a service, or 0 when it cannot be queried (or does not exist).
inline DWORD ServiceState(const char* name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 0;
  SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
  DWORD state = 0;
  if (service) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return state;
}

inline bool WaitForState(const char* name, DWORD wanted, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ServiceState(name) == wanted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return ServiceState(name) == wanted;
}

// Stops and deletes a service left by an earlier run; its absence is no failure.
inline void RemoveService(const char* name, int stopTimeoutMs = 15000) {
  RunCommand(std::string("sc stop ") + name);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(stopTimeoutMs);
  for (DWORD state = ServiceState(name); state != 0 && state != SERVICE_STOPPED;
       state = ServiceState(name)) {
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  RunCommand(std::string("sc delete ") + name);
}

// The service's files from the examples, with no timetable (the example's hours would stop the
// service in the middle of a test), and PathName naming their folder. False when a step fails.
inline bool PrepareInstallation() {
  CreateDirectoryA(VS_WINE_INSTALL_DIR, nullptr);
  for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini"}) {
    const std::string from = std::string(VS_WINE_EXAMPLES_DIR) + "\\" + name;
    if (!CopyFileA(from.c_str(), InstallFile(name).c_str(), FALSE)) return false;
  }
  std::ofstream(InstallFile("sched.ini"), std::ios::binary) << "; no timetable\r\n";
  return RunCommand(std::string("reg add \"") + kProductKey + "\" /v PathName /d \"" +
                    VS_WINE_INSTALL_DIR + "\" /f") == 0;
}

inline void RemoveProductKey() { RunCommand(std::string("reg delete \"") + kProductKey + "\" /f"); }

}  // namespace wineservice
