#include "support/fake_session_messages.h"

namespace vstest {

int FakeSessionMessages::ComputerName(std::string* name) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back("ComputerName");
  *name = computerNameResult == 0 ? computerName : std::string();
  return computerNameResult;
}

int FakeSessionMessages::SendToName(const std::string& name, const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back("SendToName " + name);
  const auto error = sendErrors.find(name);
  if (error != sendErrors.end() && error->second != 0) return error->second;
  delivered_.push_back(name + ": " + text);
  return 0;
}

platform::NetSessionBatch FakeSessionMessages::NextSessions(std::uint32_t* resume) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back("NextSessions " + std::to_string(*resume));
  ++*resume;
  if (batchesTaken_ < batches.size()) return batches[batchesTaken_++];
  return platform::NetSessionBatch{};
}

std::vector<platform::LocalDelivery> FakeSessionMessages::DeliverLocally(const std::string& title,
                                                                         const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back("DeliverLocally");
  for (const platform::LocalDelivery& place : localPlaces) {
    if (place.error == 0) delivered_.push_back(place.where + ": " + title + " " + text);
  }
  return localPlaces;
}

std::vector<std::string> FakeSessionMessages::Calls() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

std::vector<std::string> FakeSessionMessages::Delivered() {
  std::lock_guard<std::mutex> guard(lock_);
  return delivered_;
}

}  // namespace vstest
