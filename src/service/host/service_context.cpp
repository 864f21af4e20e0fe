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

void ServiceContext::PublishCommonData(const CommonData& data) {
  std::lock_guard<std::mutex> settings(settingsLock_);
  {
    std::lock_guard<std::mutex> guard(textLock_);
    upsLogPath_ = data.upsLogPath;
  }
  watchinterval = data.watchinterval;
  cleaninterval = data.cleaninterval;
  untilshutdown = data.untilshutdown;
  forshutdown = data.forshutdown;
  upsautodown = data.upsautodown;
  const int delay = rebootdelay.load();
  autoreboot = data.autoreboot != 0 && delay != 0 ? delay : data.autoreboot;
  enableputoff = data.enableputoff;
  putofftime = data.putofftime;
  putoffPlus = data.putoffPlus;
  statusinterval = data.statusinterval;
  replylimit = data.replylimit;
  commandHostsSet_ = data.commandHostsSet;
  commandHosts_ = data.commandHosts;
}

CommonData ServiceContext::CommonDataSet() const {
  std::lock_guard<std::mutex> settings(settingsLock_);
  CommonData data;
  {
    std::lock_guard<std::mutex> guard(textLock_);
    data.upsLogPath = upsLogPath_;
  }
  data.watchinterval = watchinterval;
  data.cleaninterval = cleaninterval;
  data.untilshutdown = untilshutdown;
  data.forshutdown = forshutdown;
  data.upsautodown = upsautodown;
  data.autoreboot = autoreboot;
  data.enableputoff = enableputoff;
  data.putofftime = putofftime;
  data.putoffPlus = putoffPlus;
  data.statusinterval = statusinterval;
  data.replylimit = replylimit;
  data.commandHostsSet = commandHostsSet_;
  data.commandHosts = commandHosts_;
  return data;
}

void ServiceContext::PublishRebootDelay(int delay) {
  std::lock_guard<std::mutex> settings(settingsLock_);
  rebootdelay = delay;
  if (autoreboot.load() != 0) autoreboot = delay;
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
