// The command line of wardctl: one command with its arguments, and options anywhere around it.
#pragma once

#include <string>
#include <vector>

namespace wardctl {

enum class Command { Status, Watch, Info, Schedule, SelfTest, Reload, Upshut, Listen, Help, Version };

struct Options {
  Command command = Command::Help;
  std::string host;           // empty: the request goes out as a broadcast
  int port = 0;               // service's upsport; 0: upstab.ini of installDir, else 12000
  int noticePort = 0;         // listen: 0 takes xupsport of installDir, else 12010
  std::string installDir;     // an installation directory: upstab.ini and msg.ini
  bool json = false;
  int timeoutSeconds = 2;     // how long an answer is waited for
  int count = 0;              // watch, listen: stop after so many; 0 runs until interrupted
  int watchSeconds = 5;       // watch: seconds between two requests
  int infoKind = 0;           // info 0|1|2
  int stopMinutes = 0;        // upshut
  int startMinutes = 0;
};

// Reads the arguments after the program name. False with *error saying what is wrong.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error);

// What --help prints.
std::string UsageText();

}  // namespace wardctl
