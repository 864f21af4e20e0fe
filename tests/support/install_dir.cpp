#include "support/install_dir.h"

#include "platform/files.h"
#include "service/host/service_context.h"

namespace vstest {

InstallDir::InstallDir(const std::string& upstabKeys) {
  WriteUpstab(upstabKeys);
  Write("msg.ini", "[flexevent]\r\neventCnt=0\r\n");
  Write("upsrc.ini", "[mail]\r\nMail1=mail.bat\r\n[trap]\r\nTrap1=trap.bat %s %s\r\n");
  Write("sched.ini", "[sched]\r\n");
}

void InstallDir::WriteUpstab(const std::string& upstabKeys) const {
  std::string text = "[upstab]\r\n";
  std::size_t start = 0;
  while (start < upstabKeys.size()) {
    std::size_t end = upstabKeys.find('\n', start);
    if (end == std::string::npos) end = upstabKeys.size();
    text += upstabKeys.substr(start, end - start) + "\r\n";
    start = end + 1;
  }
  Write("upstab.ini", text);
}

void InstallDir::FillPaths(wardend::ServiceContext& context) const {
  context.installDir = path();
  context.upstabPath = File("upstab.ini");
  context.msgPath = File("msg.ini");
  context.upsrcPath = File("upsrc.ini");
  context.schedPath = File("sched.ini");
}

}  // namespace vstest
