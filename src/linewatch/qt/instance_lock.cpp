#include "linewatch/qt/instance_lock.h"

#include <QDir>
#include <QStandardPaths>

#include "linewatch/core/startup.h"

namespace linewatch {
namespace qt {

InstanceLock::InstanceLock(const QString& directory)
    : path_(QDir(directory).filePath(QString::fromLatin1(kInstanceName) + QStringLiteral(".lock"))),
      lock_(path_) {
  // Age alone never makes a lock stale: a monitor runs for days.
  lock_.setStaleLockTime(0);
}

bool InstanceLock::TryClaim() { return lock_.isLocked() || lock_.tryLock(0); }

QString InstanceLock::DefaultDirectory() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

}  // namespace qt
}  // namespace linewatch
