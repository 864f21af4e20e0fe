// What the benchmarks share: a private installation from the examples in a temporary folder,
// the simulated UPS on a pseudo-terminal, and the real wardend in the foreground with a registry
// stand-in of its own. Nothing here can shut the machine down: the shutdown command is
// /bin/true and VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1 refuses the system's own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace benchrig {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Replaces "key=..." of an INI file (CRLF lines) or adds it to its section [upstab].
void SetKey(const std::string& path, const std::string& key, const std::string& value);
// A UDP port of the loopback that is free right now.
int FreeUdpPort();
// Asks a process to end (SIGTERM), kills it after 5 s, and reaps it.
void Stop(pid_t pid);

struct Rig {
  std::string dir;      // the temporary folder, removed by Finish
  std::string install;  // the installation: the four example files
  std::string upstab;   // install/upstab.ini
  pid_t upssim = -1, wardend = -1;
};

// The temporary folder and the installation; false when either cannot be made.
bool Prepare(Rig& rig, const std::string& examples);
// upssim with the arguments (its line is announced in a file of the rig), and ttyname set to
// its line; false when it announced none within 5 s.
bool StartUps(Rig& rig, const std::string& upssim, const std::vector<std::string>& args);
// wardend --foreground on the installation, its output in dir/wardend.out.
bool StartWardend(Rig& rig, const std::string& wardend);
// Stops both programs and removes the folder.
void Finish(Rig& rig);

}  // namespace benchrig
