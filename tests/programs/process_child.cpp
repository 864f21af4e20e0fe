// The program the process tests start (a program of the test tree, never a shell script):
//   process_child record FILE [ARGS...]   writes every argument it was given, argv[0] first,
//                                         each ended by a NUL byte, to FILE, and ends;
//   process_child sleep MS                runs for MS milliseconds, then ends.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "record") == 0) {
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) return 2;
    for (int i = 0; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, file);
    return std::fclose(file) == 0 ? 0 : 3;
  }
  if (argc == 3 && std::strcmp(argv[1], "sleep") == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[2])));
    return 0;
  }
  return 1;
}
