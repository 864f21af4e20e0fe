// A temporary installation directory with the four configuration files the service checks.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace wardend {
class ServiceContext;
}

namespace vstest {

class InstallDir : public TempDir {
 public:
  // Writes upstab.ini with section [upstab] holding upstabKeys ("key=value" lines), and
  // msg.ini, upsrc.ini and sched.ini with a harmless content.
  explicit InstallDir(const std::string& upstabKeys = "upsname=1\n");
  void WriteUpstab(const std::string& upstabKeys) const;
  // The paths LoadInstallPaths would build for this directory.
  void FillPaths(wardend::ServiceContext& context) const;
};

}  // namespace vstest
