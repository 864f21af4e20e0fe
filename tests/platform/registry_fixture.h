// Puts values into the registry the backend of this build reads: the stand-in file on Linux
// (named through VOLTSENTRY_REGISTRY for the fixture's lifetime), the real registry on Windows
// (removed again at the end). Keys are under HKEY_LOCAL_MACHINE.
#pragma once

#include <memory>
#include <string>

class RegistryFixture {
 public:
  RegistryFixture();
  ~RegistryFixture();
  RegistryFixture(const RegistryFixture&) = delete;
  RegistryFixture& operator=(const RegistryFixture&) = delete;

  bool AddValue(const std::string& keyPath, const std::string& name, const std::string& value);
  // False when the fixture could not be set up.
  bool Ready() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};
