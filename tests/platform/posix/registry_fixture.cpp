#include "platform/registry_fixture.h"

#include <cstdlib>

#include "platform/profile.h"
#include "support/test_files.h"

struct RegistryFixture::Impl {
  testsupport::TempDir dir;
  std::string file;
  bool hadOld = false;
  std::string old;
  bool ready = false;
};

RegistryFixture::RegistryFixture() : impl_(new Impl) {
  impl_->file = impl_->dir.File("registry.ini");
  if (const char* old = std::getenv("VOLTSENTRY_REGISTRY")) {
    impl_->hadOld = true;
    impl_->old = old;
  }
  impl_->ready = !impl_->dir.path().empty() &&
                 setenv("VOLTSENTRY_REGISTRY", impl_->file.c_str(), 1) == 0;
}

RegistryFixture::~RegistryFixture() {
  if (impl_->hadOld) {
    setenv("VOLTSENTRY_REGISTRY", impl_->old.c_str(), 1);
  } else {
    unsetenv("VOLTSENTRY_REGISTRY");
  }
}

bool RegistryFixture::AddValue(const std::string& keyPath, const std::string& name,
                               const std::string& value) {
  return platform::ProfileWriteString(keyPath, name, value, impl_->file);
}

bool RegistryFixture::Ready() const { return impl_->ready; }
