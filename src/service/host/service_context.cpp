#include "service/host/service_context.h"

namespace wardend {

ServiceContext::ServiceContext() : machineType("AT互換機") {}

std::string ServiceContext::UpsLogPath() const {
  std::lock_guard<std::mutex> guard(textLock_);
  return upsLogPath_;
}

void ServiceContext::SetUpsLogPath(const std::string& path) {
  std::lock_guard<std::mutex> guard(textLock_);
  upsLogPath_ = path;
}

std::string ServiceContext::History() const {
  std::lock_guard<std::mutex> guard(textLock_);
  return history_;
}

void ServiceContext::SetHistory(const std::string& value) {
  std::lock_guard<std::mutex> guard(textLock_);
  history_ = value;
}

std::string ServiceContext::HostName() const {
  std::lock_guard<std::mutex> guard(textLock_);
  return hostName_;
}

void ServiceContext::SetHostName(const std::string& name) {
  std::lock_guard<std::mutex> guard(textLock_);
  hostName_ = name;
}

StatusRecord ServiceContext::ReadStatusRecord() const {
  std::lock_guard<std::mutex> guard(recordLock_);
  return statusRecord_;
}

void ServiceContext::PublishStatusRecord(const StatusRecord& record) {
  std::lock_guard<std::mutex> guard(recordLock_);
  statusRecord_ = record;
}

StatusRecord ServiceContext::ReadStatusCopy(int* length) const {
  std::lock_guard<std::mutex> guard(recordLock_);
  if (length) *length = statusCopyLength_;
  return statusCopy_;
}

void ServiceContext::PublishStatusCopy(const StatusRecord& record, int length) {
  std::lock_guard<std::mutex> guard(recordLock_);
  statusCopy_ = record;
  statusCopyLength_ = length;
}

std::array<std::string, 5> ServiceContext::Identification() const {
  std::lock_guard<std::mutex> guard(textLock_);
  return identification_;
}

void ServiceContext::SetIdentification(const std::array<std::string, 5>& texts) {
  std::lock_guard<std::mutex> guard(textLock_);
  identification_ = texts;
}

}  // namespace wardend
