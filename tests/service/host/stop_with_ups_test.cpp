// The stop of the service while its UPS link is busy with a silent UPS: the real link over a fake
// line, so that a stop in the middle of a handshake or a power-off command is seen as the
// UPS sees it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/product_key.h"
#include "service/host/install_paths.h"
#include "service/host/service_app.h"
#include "service/upslink/fake_serial.h"
#include "service/upslink/ups_link.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"
#include "support/recording_parts.h"

namespace {

using upslinktest::Bytes;

class StopWithUpsTest : public ::testing::Test {
 protected:
  StopWithUpsTest() {
    fake.environment.variables["TZ"] = "UTC0";
    fake.registry.SetValue(platform::kProductKey, "PathName", dir.path());
  }
  ~StopWithUpsTest() override {
    if (app) {
      vstest::ClockPump pump(fake.clock);
      app.reset();
    }
  }

  // The recording parts, with the real serial link in place of the fake one.
  void Make() {
    const wardend::PartsFactory recording = parts.Factory();
    app = std::make_unique<wardend::ServiceApp>(
        fake.Get(), srvLog, [this, recording](wardend::ServiceApp& service) {
          wardend::ServiceParts made = recording(service);
          made.makeLink = [this, &service] {
            return std::make_unique<wardend::UpsLink>(serial, fake.clock, srvLog,
                                                      service.events());
          };
          return made;
        });
  }

  // Stops the service on a thread of its own while the fake time stands still: a stop that
  // waited for the link's time-outs would never end, and is given up after realTimeoutMs.
  bool StopWithinRealTime(int realTimeoutMs) {
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
      app->StopSequence();
      stopped = true;
    });
    for (int i = 0; i < realTimeoutMs && !stopped; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool inTime = stopped;
    if (!inTime) {
      vstest::ClockPump pump(fake.clock);  // lets the old behaviour finish so the test ends
      stopper.join();
    } else {
      stopper.join();
    }
    return inTime;
  }

  std::size_t Requests() { return line->Writes().size(); }
  bool WaitForRequests(std::size_t count) {
    for (int i = 0; i < 5000 && Requests() < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Requests() >= count;
  }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::FakePlatform fake;
  vstest::InstallDir dir{"upsname=1\nsrvlog=1\nttyname=COM1\n"};
  wardend::SrvLog srvLog{fake.clock};
  vstest::RecordingParts parts{fake.clock};
  std::shared_ptr<upslinktest::FakeLine> line = std::make_shared<upslinktest::FakeLine>();
  upslinktest::FakeSerialFactory serial{line};
  std::unique_ptr<wardend::ServiceApp> app;
};

TEST_F(StopWithUpsTest, AStopDuringTheHandshakeEndsItAtOnce) {
  Make();
  app->StartupThread();
  ASSERT_TRUE(WaitForRequests(1)) << "the handshake's first request";
  const std::size_t before = Requests();

  ASSERT_TRUE(StopWithinRealTime(3000)) << "the stop waited for the silent UPS";
  EXPECT_EQ(Requests(), before) << "nothing reaches the UPS after the stop";
  EXPECT_FALSE(app->WorkerDetached());
  EXPECT_FALSE(app->WorkersRunning());
  EXPECT_EQ(LogTexts().find("終了しません"), std::string::npos);
  EXPECT_FALSE(line->PortOpen()) << "the service closes the port itself";
  // A handshake cut short by the stop is not reported as a UPS that does not answer.
  EXPECT_EQ(parts.log.Count("RaiseEvent 206"), 0);
}

}  // namespace
