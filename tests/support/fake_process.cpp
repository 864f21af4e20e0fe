#include "support/fake_process.h"

#include "platform/event.h"

namespace vstest {

struct FakeProcessLauncher::Program {
  platform::Event exited{platform::EventReset::Manual};
  long id = 0;
};

class FakeProcessLauncher::Process : public platform::StartedProcess {
 public:
  Process(FakeProcessLauncher& owner, std::shared_ptr<Program> program)
      : owner_(owner), program_(std::move(program)) {}
  ~Process() override {
    std::lock_guard<std::mutex> guard(owner_.lock_);
    --owner_.held_;
  }
  platform::Event& Exited() override { return program_->exited; }
  long Id() const override { return program_->id; }

 private:
  FakeProcessLauncher& owner_;
  std::shared_ptr<Program> program_;
};

std::unique_ptr<platform::StartedProcess> FakeProcessLauncher::Start(
    const std::string& commandLine, int* error) {
  std::lock_guard<std::mutex> guard(lock_);
  commandLines_.push_back(commandLine);
  for (const auto& failure : failures_) {
    if (commandLine.compare(0, failure.first.size(), failure.first) == 0) {
      *error = failure.second;
      return nullptr;
    }
  }
  auto program = std::make_shared<Program>();
  program->id = nextId_++;
  if (endAtOnce_) program->exited.Set();
  programs_.push_back(program);
  ++held_;
  return std::make_unique<Process>(*this, program);
}

std::vector<std::string> FakeProcessLauncher::CommandLines() {
  std::lock_guard<std::mutex> guard(lock_);
  return commandLines_;
}

void FakeProcessLauncher::FailStart(const std::string& prefix, int error) {
  std::lock_guard<std::mutex> guard(lock_);
  failures_[prefix] = error;
}

void FakeProcessLauncher::SetProgramsEnd(bool atOnce) {
  std::lock_guard<std::mutex> guard(lock_);
  endAtOnce_ = atOnce;
}

void FakeProcessLauncher::EndAll() {
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& program : programs_) program->exited.Set();
}

int FakeProcessLauncher::Held() {
  std::lock_guard<std::mutex> guard(lock_);
  return held_;
}

}  // namespace vstest
