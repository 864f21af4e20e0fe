// The single-instance guard of the monitor: a lock file "Gauge4.exe.lock" in the user's runtime
// directory. A monitor that dies leaves a lock that the next start recognises as stale (its
// process is gone); a running monitor's lock is never taken over, however old it is.
#pragma once

#include <QLockFile>
#include <QString>

namespace linewatch {
namespace qt {

class InstanceLock {
 public:
  // The lock in directory (the tests use one of their own).
  explicit InstanceLock(const QString& directory);
  // True when this process holds the lock now (also when it already did); false when another
  // monitor holds it, which is left untouched.
  bool TryClaim();
  QString FilePath() const { return path_; }

  // The user's runtime directory, or the temporary directory where there is none.
  static QString DefaultDirectory();

 private:
  QString path_;
  QLockFile lock_;
};

}  // namespace qt
}  // namespace linewatch
