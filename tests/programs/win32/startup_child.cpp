// Started by the Windows process tests: writes how it was asked to show its window,
// "flags=<dwFlags> show=<wShowWindow>", to the file named by its one argument.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 2;
  std::fprintf(file, "flags=%lu show=%u", static_cast<unsigned long>(startup.dwFlags),
               static_cast<unsigned>(startup.wShowWindow));
  return std::fclose(file) == 0 ? 0 : 3;
}
