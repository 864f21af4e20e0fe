// A messenger backend that records what the service asked of it and answers as a test says;
// nothing is shown to anyone. Calls() reads like the system calls: "ComputerName",
// "SendToName hostb", "NextSessions 0", "DeliverLocally".
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/session_messages.h"

namespace vstest {

class FakeSessionMessages : public platform::SessionMessages {
 public:
  int ComputerName(std::string* name) override;
  bool HasMessenger() override { return hasMessenger; }
  bool HasNetworkSessions() override { return hasNetworkSessions; }
  int SendToName(const std::string& name, const std::string& text) override;
  // Hands out the batches in order; after the last one a batch with status 0 and no entries.
  // The resume value goes up by one with every batch.
  platform::NetSessionBatch NextSessions(std::uint32_t* resume) override;
  std::vector<platform::LocalDelivery> DeliverLocally(const std::string& title,
                                                      const std::string& text) override;

  std::vector<std::string> Calls();
  // The texts that reached someone, as "<to>: <text>".
  std::vector<std::string> Delivered();

  // Answers; set before the code under test runs.
  int computerNameResult = 0;
  std::string computerName = "UPSHOST";
  bool hasMessenger = true;
  bool hasNetworkSessions = true;
  std::map<std::string, int> sendErrors;  // by name; 0 when absent
  std::vector<platform::NetSessionBatch> batches;
  std::vector<platform::LocalDelivery> localPlaces;  // the error of each is its answer

 private:
  std::mutex lock_;
  std::vector<std::string> calls_;
  std::vector<std::string> delivered_;
  std::size_t batchesTaken_ = 0;
};

}  // namespace vstest
