// A recording process launcher: it starts nothing, remembers each command line, and lets a test
// decide whether a program fails to start, ends at once or runs until the test ends it.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process.h"

namespace vstest {

class FakeProcessLauncher : public platform::ProcessLauncher {
 public:
  std::unique_ptr<platform::StartedProcess> Start(const std::string& commandLine,
                                                  int* error) override;

  // Every command line given to Start, in order (failed starts too).
  std::vector<std::string> CommandLines();
  // A command line that begins with prefix fails to start with error.
  void FailStart(const std::string& prefix, int error);
  // Whether programs started from now on end at once (the default) or run until EndAll.
  void SetProgramsEnd(bool atOnce);
  // Ends every program that still runs.
  void EndAll();
  // Started programs whose process objects the caller still holds.
  int Held();

 private:
  struct Program;
  class Process;
  std::mutex lock_;
  std::vector<std::string> commandLines_;
  std::map<std::string, int> failures_;
  bool endAtOnce_ = true;
  std::vector<std::shared_ptr<Program>> programs_;
  int held_ = 0;
  long nextId_ = 1000;
};

}  // namespace vstest
