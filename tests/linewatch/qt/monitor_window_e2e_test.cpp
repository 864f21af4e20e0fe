// The monitor's window end to end on the offscreen platform: the real wardend in the foreground
// against upssim on a pseudo-terminal, the window set up from a private installation through the
// registry stand-in, and what it draws checked from its pixels against the readings the service
// gives wardctl.
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "e2e/wardend_harness.h"
#include "gauge_pixels.h"
#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/service_probe.h"
#include "linewatch/core/startup.h"
#include "linewatch/qt/monitor_window.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "qt_test_support.h"

namespace {

using lwqttest::GraphLook;
using lwqttest::WaitFor;

// The fourteen measurement fields of upssim, chosen so that every bar stands inside its scale:
// input 100 V, frequency 50.0 Hz, inverter 101.0 V, load 45 %, battery 220 V.
constexpr char kMeasurements[] = "measure 100 500 1010 1000 50 0 1000 500 100 25 0 45 0 220";

// The example logitem.ini's items, and graph.ini as this test writes it: red zones on four
// graphs (one from 0), a display area of 300 on the sixth, a bar colour of its own on the fifth.
struct Graph {
  int item;
  GraphLook look;
};
const std::array<Graph, 6> kGraphs = {{
    {9, {0, 120, 150}},
    {17, {0, 115, 150}},
    {11, {0, -1, -1}},
    {46, {0, 80, 150}},
    {36, {0, -1, -1, QColor(64, 128, 255)}},
    {38, {1, 0, 180}},
}};

std::string GraphIni() {
  std::string ini = "[graph]\r\nInterval=5\r\nmultiups=disable\r\n";
  for (std::size_t i = 0; i < kGraphs.size(); ++i) {
    const GraphLook& g = kGraphs[i].look;
    const std::string k = std::to_string(i + 1);
    ini += "Redzoneupper" + k + "=" + std::to_string(g.upper) + "\r\nRedzonelower" + k + "=" +
           std::to_string(g.lower) + "\r\ndivisionsize" + k + "=" + std::to_string(g.sizeIndex) +
           "\r\nGraphcolorR" + k + "=" + std::to_string(g.bar.red()) + "\r\nGraphcolorG" + k +
           "=" + std::to_string(g.bar.green()) + "\r\nGraphcolorB" + k + "=" +
           std::to_string(g.bar.blue()) + "\r\n";
  }
  return ini;
}

// Where the screenshots are kept for a look after the run.
std::string ShotPath(const std::string& name) {
  QDir().mkpath(QString::fromUtf8(VS_QT_SHOT_DIR));
  return std::string(VS_QT_SHOT_DIR) + "/" + name;
}

class MonitorWindowE2e : public e2e::WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    for (const char* name : {"logitem.ini", "ststab.txt"}) e2e::CopyExample(install, name);
    install.Write("graph.ini", GraphIni());
    // Events go to the service's log only: no message may leave for terminals or the network,
    // and the mains failure below never comes near a shutdown.
    Set("upstab.ini", "upstab", "srvlog", "1");
    Set("upstab.ini", "upstab", "UdpMessageService", "0");
    Set("upstab.ini", "upstab", "MessengerService", "0");
    Set("upstab.ini", "upstab", "TrapTo", "");
    Set("upstab.ini", "upstab", "untilshutdown", "600");
    for (const char* group : {"0", "1", "2", "3"}) Set("msg.ini", "flexevent", group, "log");
    StartUps();
    ASSERT_EQ("ok", ups.Control(kMeasurements));

    // The monitor finds the installation as an administrator's would: through the registry.
    ::setenv("VOLTSENTRY_REGISTRY", Registry().c_str(), 1);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) context.localHostName = host;
    ASSERT_EQ(0, client.Open());
    const linewatch::StartupResult startup = linewatch::PrepareMonitor(
        {"/host", "localhost", "/tabfile", "upstab.ini"}, platform::SystemRegistry(), &context);
    ASSERT_TRUE(startup.proceed) << static_cast<int>(startup.message);
  }
  void TearDown() override {
    window.reset();  // the workers stop before the client closes
    client.Close();
    ::unsetenv("VOLTSENTRY_REGISTRY");
  }

  void StartService() {
    wardend = std::make_unique<e2e::Wardend>(std::vector<std::string>{"--foreground"},
                                             Registry(), scratch.path());
    ASSERT_TRUE(wardend->Started());
  }

  void OpenWindow() {
    window = std::make_unique<linewatch::qt::MonitorWindow>(
        context, client, linewatch::ServiceProbeCheck(platform::SystemSocketLayer(), context),
        messages.Presenter());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  // The readings of the service's latest status record by item code, as wardctl prints them
  // ("%.1f"); empty when it did not answer.
  std::map<int, std::string> ServiceReadings() {
    std::map<int, std::string> readings;
    const std::string command = std::string("timeout 10 " WARDCTL_PATH " --host 127.0.0.1 --port ") +
                                std::to_string(upsport) + " status 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) return readings;
    char line[256];
    while (std::fgets(line, sizeof line, out) != nullptr) {
      int item = 0;
      char value[32] = {};
      if (std::sscanf(line, "item %d: %31s", &item, value) == 2) readings[item] = value;
    }
    ::pclose(out);
    return readings;
  }
  // Waits (bounded) until the service reads the simulator's measurements.
  std::map<int, std::string> WaitForServiceReadings() {
    std::map<int, std::string> readings;
    WaitFor([&] { return (readings = ServiceReadings()).count(9) && readings[9] == "100.0"; },
            30000);
    return readings;
  }

  std::string Text(const char* name) {
    QLabel* label = lwqttest::Child<QLabel>(*window, name);
    return label ? label->text().toStdString() : std::string("<none>");
  }
  // Waits (bounded) for a reply newer than the one whose time the window shows now.
  bool WaitForNextReading(int ms) {
    const std::string before = Text("time");
    return WaitFor([&] { return Text("time") != before; }, ms);
  }

  QImage Grab(const std::string& name) {
    QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(1.0, image.devicePixelRatio());
    EXPECT_TRUE(image.save(QString::fromStdString(ShotPath(name)), "PNG")) << ShotPath(name);
    return image;
  }
  QRect Box(const char* name) {
    QWidget* widget = lwqttest::Child<QWidget>(*window, name);
    if (widget == nullptr) return QRect();
    return QRect(widget->mapTo(window.get(), QPoint(0, 0)), widget->size());
  }

  linewatch::MonitorContext context;
  linewatch::MonitorClient client{platform::SystemSocketLayer()};
  std::unique_ptr<e2e::Wardend> wardend;
  std::unique_ptr<linewatch::qt::MonitorWindow> window;
  lwqttest::CapturedMessages messages;
};

TEST_F(MonitorWindowE2e, BarsRedZonesAndStatusFollowTheServiceOnlineAndOnBattery) {
  StartService();
  const std::map<int, std::string> readings = WaitForServiceReadings();
  ASSERT_EQ("100.0", readings.count(9) ? readings.at(9) : "") << wardend->Output();
  for (const Graph& g : kGraphs) ASSERT_TRUE(readings.count(g.item)) << "item " << g.item;

  OpenWindow();
  // Two readings after the service had the simulator's measurements.
  ASSERT_TRUE(WaitForNextReading(20000)) << "no reading: " << Text("time");
  ASSERT_TRUE(WaitForNextReading(15000)) << "no second reading (interval 5 s): " << Text("time");

  const QImage online = Grab("online.png");
  for (std::size_t k = 0; k < kGraphs.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    const std::string& reading = readings.at(kGraphs[k].item);
    EXPECT_EQ(reading, Text(("value" + n).c_str())) << "position " << n;
    for (const std::string& fault : lwqttest::GraphFaults(
             online, Box(("graph" + n).c_str()), kGraphs[k].look, std::atof(reading.c_str()))) {
      ADD_FAILURE() << "online graph " << n << " (" << reading << "): " << fault;
    }
  }
  // The time of the reading is shown whole, beside the status line's caption.
  if (QLabel* time = lwqttest::Child<QLabel>(*window, "time")) {
    EXPECT_LE(time->fontMetrics().horizontalAdvance(time->text()), time->contentsRect().width())
        << "the time stamp is cut: " << Text("time");
    EXPECT_FALSE(Box("time").intersects(Box("statusCaption")));
  }
  const QRect statusBox = Box("status");
  const lwqttest::StatusLook green = lwqttest::LookAtStatus(online, statusBox, lwqttest::kStatusGreen);
  EXPECT_GE(green.own, 10) << "the status text is not green";
  EXPECT_EQ(0, green.others);
  EXPECT_GT(green.white, 0) << "no white behind the status text";
  EXPECT_TRUE(messages.shown().empty()) << messages.shown().front().text;

  // The mains fails: the status line turns red with another text, the input reads 0.
  ASSERT_EQ("ok", ups.Control("power off"));
  ASSERT_EQ("ok", ups.Control("push-status"));
  QImage battery;
  lwqttest::StatusLook red;
  EXPECT_TRUE(WaitFor(
      [&] {
        battery = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        red = lwqttest::LookAtStatus(battery, statusBox, lwqttest::kStatusRed);
        return red.own >= 10 && Text("value1") == "0.0";
      },
      30000))
      << "status line red: " << red.own << " pixels; input " << Text("value1");
  battery = Grab("battery.png");
  red = lwqttest::LookAtStatus(battery, statusBox, lwqttest::kStatusRed);
  EXPECT_EQ(0, red.others) << "the red status line has pixels of another status colour";
  EXPECT_NE(green.ink, red.ink) << "the status line shows the same text on battery as online";
  for (const std::string& fault :
       lwqttest::GraphFaults(battery, Box("graph1"), kGraphs[0].look, 0.0)) {
    ADD_FAILURE() << "battery graph 1: " << fault;
  }
}

// The service is asked again every interval while it does not answer, so a monitor started
// before the service shows readings once it runs.
TEST_F(MonitorWindowE2e, ReadingsAppearOnceTheServiceStartsAfterTheWindow) {
  OpenWindow();
  const std::string initialTime = Text("time");
  const std::string initialValue = Text("value1");
  EXPECT_EQ("000.0", initialValue);
  // Longer than the probe's wait and the first request: nothing can have come.
  QTest::qWait(2500);
  EXPECT_EQ(initialTime, Text("time"));
  EXPECT_EQ(initialValue, Text("value1"));

  StartService();
  EXPECT_TRUE(WaitFor([&] { return Text("value1") == "100.0"; }, 40000))
      << "value 1 still " << Text("value1") << " at " << Text("time") << "\n"
      << wardend->Output();
  EXPECT_NE(initialTime, Text("time"));
  EXPECT_TRUE(messages.shown().empty()) << messages.shown().front().text;
}

}  // namespace
