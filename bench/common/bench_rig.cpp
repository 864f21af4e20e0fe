#include "bench_rig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace benchrig {

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            const std::string& output) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv, envp;
  std::vector<std::string> a = args;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void SetKey(const std::string& path, const std::string& key, const std::string& value) {
  std::string text = ReadFile(path);
  const std::string line = key + "=" + value + "\r\n";
  const std::size_t at = text.find("\n" + key + "=");
  if (at != std::string::npos) {
    const std::size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end == std::string::npos ? std::string::npos : end - at, line);
  } else {
    const std::size_t section = text.find("[upstab]");
    const std::size_t after = text.find('\n', section);
    text.insert(after + 1, line);
  }
  WriteFile(path, text);
}

int FreeUdpPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool Prepare(Rig& rig, const std::string& examples) {
  char pattern[] = "/tmp/voltsentry-bench.XXXXXX";
  if (!mkdtemp(pattern)) return false;
  rig.dir = pattern;
  rig.install = rig.dir + "/install";
  rig.upstab = rig.install + "/upstab.ini";
  if (mkdir(rig.install.c_str(), 0755) != 0) return false;
  for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini"}) {
    WriteFile(rig.install + "/" + name, ReadFile(examples + "/" + name));
  }
  // No timetable: the example's hours would stop the service in the middle of a run.
  WriteFile(rig.install + "/sched.ini", "; no timetable\r\n");
  return !ReadFile(rig.upstab).empty();
}

bool StartUps(Rig& rig, const std::string& upssim, const std::vector<std::string>& args) {
  const std::string ptyFile = rig.dir + "/pty";
  std::vector<std::string> command{upssim, "--pty-file", ptyFile};
  command.insert(command.end(), args.begin(), args.end());
  rig.upssim = Spawn(command, {}, rig.dir + "/upssim.out");
  for (int i = 0; i < 100 && ReadFile(ptyFile).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string pty = ReadFile(ptyFile);
  while (!pty.empty() && pty.back() == '\n') pty.pop_back();
  if (pty.empty()) return false;
  SetKey(rig.upstab, "ttyname", pty);
  return true;
}

bool StartWardend(Rig& rig, const std::string& wardend) {
  WriteFile(rig.dir + "/registry.ini", "[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\nPathName=" +
                                           rig.install + "\r\nShutdownCommand=/bin/true\r\n");
  rig.wardend = Spawn({wardend, "--foreground"},
                      {"VOLTSENTRY_REGISTRY=" + rig.dir + "/registry.ini",
                       "VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1", "TZ=JST-9"},
                      rig.dir + "/wardend.out");
  return rig.wardend > 0;
}

void Finish(Rig& rig) {
  Stop(rig.wardend);
  Stop(rig.upssim);
  if (rig.dir.empty()) return;
  const std::string command = "rm -rf '" + rig.dir + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", rig.dir.c_str());
}

}  // namespace benchrig
