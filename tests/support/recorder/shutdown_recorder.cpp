// A harmless stand-in for the shutdown commands, for tests and the demo, built for both systems:
// appends one line with its arguments to a file and ends.
//   shutdown_recorder [--fail] [--sleep MS] FILE [ARGUMENT...]
// The line holds each ARGUMENT in brackets, separated by blanks ("[systemctl] [poweroff]").
// --fail ends with status 1 (a command that refuses); --sleep waits first (one that hangs).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  bool fail = false;
  int sleepMs = 0;
  int i = 1;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fail") == 0) {
      fail = true;
    } else if (std::strcmp(argv[i], "--sleep") == 0 && i + 1 < argc) {
      sleepMs = std::atoi(argv[++i]);
    } else {
      break;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: shutdown_recorder [--fail] [--sleep MS] FILE [ARGUMENT...]\n");
    return 2;
  }
  const char* file = argv[i++];
  if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  std::string line;
  for (; i < argc; ++i) {
    if (!line.empty()) line += ' ';
    line += std::string("[") + argv[i] + "]";
  }
  // Binary: the line ends are LF on Windows too.
  std::FILE* out = std::fopen(file, "ab");
  if (out == nullptr) return 3;
  std::fprintf(out, "%s\n", line.c_str());
  std::fclose(out);
  return fail ? 1 : 0;
}
