// Under Wine the build's own path is a Linux one: the child is found beside the test program,
// under the name Windows gives that folder.
#include "platform/process_test_child.h"

#include "platform/win32/windows_support.h"

namespace vstest {

std::string ProcessChildPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, length);
  return self.substr(0, self.find_last_of("\\/")) + "\\process_child.exe";
}

}  // namespace vstest
