// Loads svcbridge.dll from beside this program as a 32-bit or 64-bit tool does: by path, the
// three calls found by their plain names as cdecl functions. Runs the calls given as arguments
// (status:NAME, start:NAME, stop:NAME) in order, in this one process, and prints
//   width <bits>
//   <call> <name> <result> <elapsed ms>
// one line per call. Exit 2 when the DLL or a call cannot be found, 3 for a malformed argument.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/windows_support.h"
#include "svcbridge/svcbridge.h"

namespace {

using ServiceCall = int(SVCBRIDGE_CALL*)(const char*);

std::string DllBesideProgram() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path, length);
  const size_t slash = dll.find_last_of("\\/");
  dll.erase(slash == std::string::npos ? 0 : slash + 1);
  return dll + "svcbridge.dll";
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("width %d\n", static_cast<int>(sizeof(void*) * 8));
  const std::string dll = DllBesideProgram();
  HMODULE module = LoadLibraryA(dll.c_str());
  if (module == nullptr) {
    std::printf("cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
    return 2;
  }
  struct Export {
    const char* call;
    const char* exportName;
    ServiceCall function;
  } exports[] = {{"status", "getSvcStatus", nullptr},
                 {"start", "start_service", nullptr},
                 {"stop", "stop_service", nullptr}};
  for (Export& e : exports) {
    // Through void(*)(): the one function pointer type any other converts to without a warning.
    e.function = reinterpret_cast<ServiceCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, e.exportName)));
    if (e.function == nullptr) {
      std::printf("no export %s\n", e.exportName);
      return 2;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const char* colon = std::strchr(argv[i], ':');
    const Export* call = nullptr;
    for (const Export& e : exports) {
      if (colon != nullptr && std::string(argv[i], static_cast<size_t>(colon - argv[i])) == e.call) call = &e;
    }
    if (call == nullptr) {
      std::printf("bad argument %s\n", argv[i]);
      return 3;
    }
    const auto begun = std::chrono::steady_clock::now();
    const int result = call->function(colon + 1);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - begun);
    std::printf("%s %s %d %lld\n", call->call, colon + 1, result,
                static_cast<long long>(elapsed.count()));
    std::fflush(stdout);
  }
  FreeLibrary(module);
  return 0;
}
