// The monitor linewatch.exe end to end under Wine on a virtual X server (a Linux program, built
// natively; its literals are UTF-8 like the snapshot helper's output):
//
//   linewatch_driver --upssim PATH --preload PATH --wine-run PATH --wardend PATH --wardctl PATH
//                    --recorder PATH --linewatch PATH --snap PATH --examples DIR --work DIR
//                    [--port COM17]
//
// 1. prepares an installation directory from the examples and starts upssim with readings of
//    its own on a pseudo-terminal and Xvfb on a free display;
// 2. maps the COM port, writes PathName and ShutdownCommand (the Windows recorder), the X11
//    graphics driver and the dialog font's replacement into Wine's registry and restarts the
//    wineserver, so that the monitor's windows reach the display;
// 3. registers the service "VoltSentry" (the name the monitor asks for) without starting it,
//    starts linewatch.exe /host localhost /tabfile upstab.ini, and starts the service only once
//    the window shows its initial texts: readings must then appear;
// 4. after two readings checks the screen: the value texts against the readings the native
//    wardctl gets from the same service, each bar's height, each red zone, the borders, and the
//    green status line; then fails the mains and checks the status line turns red with another
//    text and the input voltage's bar falls to nothing;
// 5. a second linewatch.exe shows its message and ends, the first one reads on; the start-up
//    failures each show their message (or none) and end;
// 6. removes the service, the registry values (the graphics driver as it was), ends the Wine
//    session and stops Xvfb and upssim.
// The screenshots stay in DIR (online.bmp, battery.bmp). Every wait is bounded; the exit code
// is 0 only when every check passed.
//
// WINEPREFIX is taken from the environment, else from VS_DEFAULT_WINEPREFIX.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../wine_serial/native_driver.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nativedriver::ReadFile;
using nativedriver::Readable;
using nativedriver::RegText;
using nativedriver::WaitUntil;
using nativedriver::WindowsPath;
using nativedriver::WriteFile;

constexpr char kProductKey[] =
    "HKEY_LOCAL_MACHINE\\Software\\Quillon\\VoltSentry\\CurrentVersion";
constexpr char kPortsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports";
constexpr char kDriversKey[] = "HKEY_CURRENT_USER\\Software\\Wine\\Drivers";
constexpr char kX11Key[] = "HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver";
constexpr char kFontKey[] = "HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements";
constexpr char kDialogFont[] = "ＭＳ Ｐゴシック";
constexpr char kService[] = "VoltSentry";
constexpr char kTitle[] = "リアルタイムモニタ";
constexpr char kCaption[] = "linewatch";

// The measurement fields upssim reports (fourteen), chosen so that every bar stands inside its
// scale: input 100 V, frequency 50.0 Hz, inverter 101.0 V, load 45 %, battery 220 V.
constexpr char kMeasurements[] = "measure 100 500 1010 1000 50 0 1000 500 100 25 0 45 0 220";

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// One graph of graph.ini as the driver writes it, and how the bar must look.
struct GraphCase {
  int item;        // item code of logitem.ini
  int sizeIndex;   // divisionsize
  int lower, upper;  // red zone; -1 none
  Rgb graph{96, 255, 96};
};
// Red zones on four graphs, a display area of 300 on the sixth, a bar colour of its own on the
// fifth; the items and captions are those of the example logitem.ini.
const std::array<GraphCase, 6> kGraphs = {{
    {9, 0, 120, 150},
    {17, 0, 115, 150},
    {11, 0, -1, -1},
    {46, 0, 80, 150},
    {36, 0, -1, -1, {64, 128, 255}},
    {38, 1, 0, 180},
}};
constexpr Rgb kBack{240, 240, 240};
constexpr Rgb kRedZone{255, 0, 0};
constexpr Rgb kBorder{64, 64, 64};
constexpr Rgb kGreen{96, 196, 96};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kOrange{255, 165, 0};
constexpr Rgb kWhite{255, 255, 255};

int ScaleMaximum(int sizeIndex) { return sizeIndex == 1 ? 300 : sizeIndex == 2 ? 600 : 150; }

// Rows of a value in a plot: value / maximum of the plot, to the nearest row, within the plot.
int Rows(int value, int sizeIndex, int plotHeight) {
  const int maximum = ScaleMaximum(sizeIndex);
  const int clipped = std::max(0, std::min(value, maximum));
  return static_cast<int>(std::lround(static_cast<double>(clipped) * plotHeight / maximum));
}

struct Options {
  std::string upssim, preload, wineRun, wardend, wardctl, recorder, linewatch, snap, examples,
      work;
  std::string port = "COM17";
};

bool Parse(int argc, char** argv, Options* o) {
  return nativedriver::ParseOptions(
      argc, argv,
      {{"--upssim", &o->upssim}, {"--preload", &o->preload}, {"--wine-run", &o->wineRun},
       {"--wardend", &o->wardend}, {"--wardctl", &o->wardctl}, {"--recorder", &o->recorder},
       {"--linewatch", &o->linewatch}, {"--snap", &o->snap}, {"--examples", &o->examples},
       {"--work", &o->work}, {"--port", &o->port}},
      {&o->upssim, &o->preload, &o->wineRun, &o->wardend, &o->wardctl, &o->recorder,
       &o->linewatch, &o->snap, &o->examples, &o->work});
}

// A 24-bit BMP as the helper saves it, read top-down.
class Picture {
 public:
  bool Load(const std::string& path) {
    bytes_ = ReadFile(path);
    if (bytes_.size() < 54 || bytes_[0] != 'B' || bytes_[1] != 'M') return false;
    offset_ = Le32(10);
    width_ = static_cast<int>(Le32(18));
    height_ = static_cast<int>(Le32(22));
    stride_ = (static_cast<std::size_t>(width_) * 3 + 3) & ~std::size_t{3};
    return Le16(28) == 24 && width_ > 0 && height_ > 0 &&
           bytes_.size() >= offset_ + stride_ * static_cast<std::size_t>(height_);
  }
  Rgb At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return Rgb{-1, -1, -1};
    const std::size_t at = offset_ + stride_ * static_cast<std::size_t>(height_ - 1 - y) +
                           static_cast<std::size_t>(x) * 3;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    return Rgb{byte(at + 2), byte(at + 1), byte(at)};
  }

 private:
  std::uint32_t Le32(std::size_t at) const {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes_[at + i]);
    return v;
  }
  std::uint32_t Le16(std::size_t at) const {
    return static_cast<unsigned char>(bytes_[at]) |
           static_cast<unsigned char>(bytes_[at + 1]) << 8;
  }
  std::string bytes_;
  std::size_t offset_ = 0, stride_ = 0;
  int width_ = 0, height_ = 0;
};

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

// A screenshot with the client areas of the controls asked for.
struct Shot {
  Picture picture;
  std::map<int, Box> boxes;
};

class Driver {
 public:
  explicit Driver(const Options& o)
      : o_(o),
        install_(o.work + "/install"),
        journal_(o.work + "/journal.txt"),
        calls_(o.work + "/shutdown-calls.txt"),
        wineLog_(o.work + "/wine.log"),
        snapOut_(o.work + "/snap.txt") {}

  int Main() {
    deadline_ = Clock::now() + std::chrono::seconds(kRunSeconds);
    bool ok = PrepareInstallation() && StartXvfb() && StartUps() && Configure();
    if (ok) ok = ReadingsAfterTheServiceStarts();
    if (ok) ok = ScreenWhileOnline();
    if (ok) ok = ScreenOnBattery();
    if (ok) ok = SecondInstanceRefused();
    if (ok) ok = CloseMonitor();
    if (ok) ok = StartupFailures();
    deadline_ = Clock::now() + std::chrono::seconds(kCleanUpSeconds);
    const bool cleaned = CleanUp();
    if (!ok) {
      std::fprintf(stderr, "--- srvlog.log ---\n%s\n--- wine ---\n%s\n",
                   Readable(ReadFile(install_ + "/srvlog.log")).c_str(),
                   ReadFile(wineLog_).c_str());
    }
    std::printf("linewatch_driver: %s (screenshots in %s)\n",
                ok && cleaned ? "passed" : "FAILED", o_.work.c_str());
    return ok && cleaned ? 0 : 1;
  }

 private:
  // The test's limit is 160 s: the run may take kRunSeconds, the clean-up kCleanUpSeconds. A
  // passing run takes about a minute.
  static constexpr int kRunSeconds = 105;
  static constexpr int kCleanUpSeconds = 45;

  int Left(int ms) const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, std::min<long long>(ms, left)));
  }
  int LeftSeconds(int seconds) const { return std::max(1, Left(seconds * 1000) / 1000); }

  bool Fail(const std::string& what) {
    std::fprintf(stderr, "linewatch_driver: FAILED: %s\n", what.c_str());
    return false;
  }
  void Say(const std::string& what) {
    std::printf("linewatch_driver: %s\n", what.c_str());
    std::fflush(stdout);
  }

  // The installation: the example files; the service on this run's port and line, telling its
  // events only in its log (no session message may cover the monitor); graph.ini as kGraphs.
  bool PrepareInstallation() {
    upsport_ = nativedriver::FreeUdpPort();
    if (upsport_ == 0) return Fail("no free UDP port on the loopback");
    std::error_code error;
    fs::remove_all(o_.work, error);
    fs::create_directories(install_, error);
    if (error) return Fail("create " + install_ + ": " + error.message());
    for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini", "logitem.ini", "ststab.txt"}) {
      fs::copy_file(o_.examples + "/" + name, install_ + "/" + name, error);
      if (error) return Fail(std::string("copy ") + name + ": " + error.message());
    }
    WriteFile(install_ + "/sched.ini", "; no timetable\r\n");
    const std::string upstab = nativedriver::SetKeys(
        ReadFile(install_ + "/upstab.ini"), "upstab",
        {{"ttyname", o_.port}, {"srvlog", "1"}, {"untilshutdown", "600"},
         {"UdpMessageService", "0"}, {"MessengerService", "0"}, {"TrapTo", ""},
         {"upsport", std::to_string(upsport_)}});
    std::string msg = ReadFile(install_ + "/msg.ini");
    for (const char* group : {"0", "1", "2", "3"}) {
      msg = nativedriver::SetKeys(msg, "flexevent", {{group, "log"}});
    }
    std::string graph = "[graph]\r\nInterval=5\r\nmultiups=disable\r\n";
    for (std::size_t i = 0; i < kGraphs.size(); ++i) {
      const GraphCase& g = kGraphs[i];
      const std::string k = std::to_string(i + 1);
      graph += "Redzoneupper" + k + "=" + std::to_string(g.upper) + "\r\nRedzonelower" + k +
               "=" + std::to_string(g.lower) + "\r\ndivisionsize" + k + "=" +
               std::to_string(g.sizeIndex) + "\r\nGraphcolorR" + k + "=" +
               std::to_string(g.graph.r) + "\r\nGraphcolorG" + k + "=" +
               std::to_string(g.graph.g) + "\r\nGraphcolorB" + k + "=" +
               std::to_string(g.graph.b) + "\r\n";
    }
    const std::string logitem = ReadFile(install_ + "/logitem.ini");
    if (logitem.find("cnt=6") == std::string::npos) return Fail("logitem.ini: cnt=6 expected");
    for (std::size_t i = 0; i < kGraphs.size(); ++i) {
      const std::string key = std::to_string(i + 1) + "=" + std::to_string(kGraphs[i].item);
      if (logitem.find("\n" + key + "\r") == std::string::npos) {
        return Fail("logitem.ini does not give " + key);
      }
    }
    return (WriteFile(install_ + "/upstab.ini", upstab) &&
            WriteFile(install_ + "/msg.ini", msg) && WriteFile(install_ + "/graph.ini", graph)) ||
           Fail("write the installation");
  }

  // Xvfb on the first free display; it tells the number through a descriptor it inherits.
  bool StartXvfb() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Fail("pipe");
    ::fcntl(fds[1], F_SETFD, 0);
    xvfb_ = nativedriver::Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                 "tcp", "-screen", "0", "1024x768x24"},
                                {});
    ::close(fds[1]);
    nativedriver::LineReader reader(fds[0]);
    const std::string number = reader.ReadLine(15000);
    ::close(fds[0]);
    if (number.empty()) return Fail("Xvfb did not report its display");
    display_ = ":" + number;
    Say("Xvfb on display " + display_);
    return true;
  }

  bool StartUps() {
    pty_ = sim_.Start(o_.upssim, {"--journal", journal_});
    if (pty_.empty()) return Fail("upssim did not report its line");
    if (sim_.Control(kMeasurements) != "ok") return Fail("upssim refused the measurements");
    return true;
  }

  std::vector<std::string> WineEnvironment() const {
    return {"LD_PRELOAD=" + o_.preload, "VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1", "DISPLAY=" + display_};
  }

  // A Windows program under Wine; its output appended to the Wine log, or to outPath. The exit
  // code, or -1.
  int Wine(const std::vector<std::string>& args, int seconds = 30,
           const std::string& outPath = std::string()) {
    std::vector<std::string> command{o_.wineRun};
    command.insert(command.end(), args.begin(), args.end());
    const int out = outPath.empty()
                        ? ::open(wineLog_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
                        : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::string what;
    for (const std::string& a : args) what += (what.empty() ? "" : " ") + a;
    const int rc = nativedriver::Run(command, LeftSeconds(seconds), what.c_str(),
                                     WineEnvironment(), out);
    if (out >= 0) ::close(out);
    return rc;
  }

  // The helper's answer: its exit code, its output in *out.
  int Snap(const std::vector<std::string>& args, std::string* out, int seconds = 20) {
    std::vector<std::string> command{o_.snap};
    command.insert(command.end(), args.begin(), args.end());
    const int rc = Wine(command, seconds, snapOut_);
    *out = ReadFile(snapOut_);
    return rc;
  }

  // The texts of controls of the monitor's window by id; empty when the window is not there.
  std::map<int, std::string> Texts(const std::vector<int>& ids) {
    std::vector<std::string> args{"texts", kTitle};
    for (int id : ids) args.push_back(std::to_string(id));
    std::string out;
    std::map<int, std::string> texts;
    if (Snap(args, &out) != 0) return texts;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();  // the helper's text mode
      const std::size_t tab = line.find('\t');
      if (tab != std::string::npos) texts[std::atoi(line.c_str())] = line.substr(tab + 1);
    }
    return texts;
  }

  bool TakeShot(const std::string& name, const std::vector<int>& ids, Shot* shot) {
    std::vector<std::string> args{"shot", kTitle, WindowsPath(o_.work + "/" + name)};
    for (int id : ids) args.push_back(std::to_string(id));
    std::string out;
    if (Snap(args, &out) != 0) return Fail("no screenshot of the monitor: " + out);
    if (!shot->picture.Load(o_.work + "/" + name)) return Fail(name + " is no 24-bit BMP");
    std::istringstream lines(out);
    std::string line;
    shot->boxes.clear();
    while (std::getline(lines, line)) {
      Box box;
      int id = 0;
      if (std::sscanf(line.c_str(), "%d %d %d %d %d", &id, &box.x, &box.y, &box.w, &box.h) == 5) {
        shot->boxes[id] = box;
      }
    }
    for (int id : ids) {
      if (shot->boxes.count(id) == 0) return Fail("control " + std::to_string(id) + " missing");
    }
    return true;
  }

  // The registry of the run in one import (UTF-16, for the font's name); the graphics driver's
  // value is kept to be put back. Then a fresh wineserver, whose desktop takes the display.
  bool Configure() {
    std::string query;
    graphicsBefore_.clear();
    if (Wine({"reg", "query", kDriversKey, "/v", "Graphics"}, 30, o_.work + "/graphics.txt") ==
        0) {
      std::istringstream lines(ReadFile(o_.work + "/graphics.txt"));
      std::string line;
      while (std::getline(lines, line)) {
        const std::size_t at = line.find("REG_SZ");
        if (at == std::string::npos) continue;
        std::string value = line.substr(at + 6);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        graphicsBefore_ = value.empty() ? "-" : value;
      }
    }
    const std::string reg =
        "Windows Registry Editor Version 5.00\r\n\r\n[" + std::string(kPortsKey) + "]\r\n\"" +
        o_.port + "\"=\"" + RegText(pty_) + "\"\r\n\r\n[" + kProductKey + "]\r\n\"PathName\"=\"" +
        RegText(WindowsPath(install_)) + "\"\r\n\"ShutdownCommand\"=\"" +
        RegText("\"" + WindowsPath(o_.recorder) + "\" " + WindowsPath(calls_)) + "\"\r\n\r\n[" +
        kDriversKey + "]\r\n\"Graphics\"=\"x11\"\r\n\r\n[" + kX11Key +
        "]\r\n\"Managed\"=\"N\"\r\n\r\n[" + kFontKey + "]\r\n\"" + kDialogFont +
        "\"=\"IPAPGothic\"\r\n";
    const std::string utf16 = nativedriver::Convert(reg, "UTF-8", "UTF-16LE");
    const std::string regFile = o_.work + "/setup.reg";
    if (!WriteFile(regFile, "\xFF\xFE" + utf16)) return Fail("write setup.reg");
    configured_ = true;
    if (Wine({"reg", "import", WindowsPath(regFile)}) != 0) return Fail("wine reg import");
    RestartWineServer();
    if (!keeper_.Start(o_.wineRun, WineEnvironment(), wineLog_)) {
      return Fail("the Wine session did not start");
    }
    Wine({"sc", "stop", kService});
    Wine({"sc", "delete", kService});
    if (Wine({"sc", "create", kService, "binPath=", WindowsPath(o_.wardend)}) != 0) {
      return Fail("sc create");
    }
    created_ = true;
    return true;
  }

  void RestartWineServer() {
    nativedriver::Run({"wineserver", "-k"}, LeftSeconds(30), "wineserver -k");
    nativedriver::Run({"wineserver", "-w"}, LeftSeconds(30), "wineserver -w");
  }

  pid_t StartMonitor(const std::vector<std::string>& args) {
    std::vector<std::string> command{o_.wineRun, o_.linewatch};
    command.insert(command.end(), args.begin(), args.end());
    const int log = ::open(wineLog_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = nativedriver::Spawn(command, WineEnvironment(), log);
    if (log >= 0) ::close(log);
    return pid;
  }

  // The readings of the service's latest status record, by item code, as the native wardctl
  // shows them ("%.1f").
  bool ServiceReadings(std::map<int, std::string>* readings) {
    const std::string out = o_.work + "/wardctl.txt";
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int rc = nativedriver::Run(
        {o_.wardctl, "--host", "127.0.0.1", "--port", std::to_string(upsport_), "status"},
        LeftSeconds(15), "wardctl", {}, fd);
    if (fd >= 0) ::close(fd);
    if (rc != 0) return false;
    std::istringstream lines(ReadFile(out));
    std::string line;
    readings->clear();
    while (std::getline(lines, line)) {
      int item = 0;
      char value[32] = {};
      if (std::sscanf(line.c_str(), "item %d: %31s", &item, value) == 2) {
        (*readings)[item] = value;
      }
    }
    return !readings->empty();
  }

  // The monitor starts while the service is stopped and shows its initial texts; once the
  // service runs, readings appear (the monitor asks again for the service every interval).
  bool ReadingsAfterTheServiceStarts() {
    monitor_ = StartMonitor({"/host", "localhost", "/tabfile", "upstab.ini"});
    std::map<int, std::string> texts;
    if (!WaitUntil(Left(30000), [&] { return !(texts = Texts({1016, 1022})).empty(); }, 200)) {
      return Fail("the monitor's window did not appear");
    }
    initialStamp_ = texts[1022];
    if (texts[1016] != "000.0") {
      return Fail("with the service stopped the first value should stay 000.0: " + texts[1016]);
    }
    Say("window up with the service stopped: " + initialStamp_);
    // Wine's sc ends "start" with a non-zero code even when the service starts.
    Wine({"sc", "start", kService});
    // The first records may come before the UPS's measurements: asked again until they are in.
    if (!WaitUntil(Left(30000), [&] {
          return ServiceReadings(&readings_) && readings_.count(9) != 0 && readings_[9] != "0.0";
        }, 500)) {
      return Fail("wardctl status did not show the UPS's readings: " +
                  ReadFile(o_.work + "/wardctl.txt"));
    }
    for (const GraphCase& g : kGraphs) {
      if (readings_.count(g.item) == 0) {
        return Fail("wardctl shows no item " + std::to_string(g.item));
      }
    }
    if (readings_[9] != "100.0" || readings_[36] != "100.0") {
      return Fail("the service's readings are not upssim's: input " + readings_[9] +
                  ", battery " + readings_[36]);
    }
    // Two readings: the time stamp changes from its initial text, then once more.
    std::string first, second;
    if (!WaitUntil(Left(40000), [&] {
          first = Texts({1022})[1022];
          return !first.empty() && first != initialStamp_;
        }, 500)) {
      return Fail("no reading reached the monitor after the service started");
    }
    if (!WaitUntil(Left(20000), [&] {
          second = Texts({1022})[1022];
          return !second.empty() && second != first;
        }, 500)) {
      return Fail("no second reading within 20 s (interval 5 s): " + first);
    }
    Say("readings at " + first + " and " + second);
    return true;
  }

  // The bar of graph k: from the plot's bottom up, rows of its colour in the bar's column.
  bool CheckGraph(const Shot& shot, std::size_t k, const std::string& state) {
    const GraphCase& g = kGraphs[k];
    const int id = 1000 + static_cast<int>(k);
    const Box& b = shot.boxes.at(id);
    const std::string name = state + " graph " + std::to_string(k + 1) + ": ";
    const Picture& p = shot.picture;
    bool ok = true;
    const int plotHeight = b.h - 2;
    const int split = 1 + (b.w - 2) * 3 / 4;
    const int bottom = b.y + b.h - 2;  // the plot's last row
    for (int y : {b.y, b.y + b.h - 1}) {
      if (!(p.At(b.x + b.w / 2, y) == kBorder)) ok = Fail(name + "no border at top or bottom");
    }
    for (int x : {b.x, b.x + b.w - 1}) {
      if (!(p.At(x, b.y + b.h / 2) == kBorder)) ok = Fail(name + "no border at left or right");
    }
    const double value = std::atof(readings_.at(g.item).c_str());
    const int expected = Rows(static_cast<int>(value), g.sizeIndex, plotHeight);
    const int barX = b.x + (3 + split - 2) / 2;
    int bar = 0;
    while (bar < plotHeight && p.At(barX, bottom - bar) == g.graph) ++bar;
    const Rgb above = p.At(barX, bottom - bar);
    if (std::abs(bar - expected) > 1 || (bar < plotHeight && !(above == kBack))) {
      ok = Fail(name + "bar of " + std::to_string(bar) + " rows, expected " +
                std::to_string(expected) + " for " + readings_.at(g.item) + " (plot " +
                std::to_string(plotHeight) + ")");
    }
    // The red zone's strip, right of the bar: red rows where graph.ini puts the zone.
    const int zoneX = b.x + (split + b.w - 2) / 2;
    int first = -1, last = -1;
    for (int row = 0; row < plotHeight; ++row) {
      const Rgb c = p.At(zoneX, bottom - row);
      if (c == kRedZone) {
        if (first < 0) first = row;
        last = row;
      } else if (!(c == kBack)) {
        ok = Fail(name + "the red zone's strip has a colour of neither zone nor background");
        break;
      }
    }
    if (g.lower < 0) {
      if (first >= 0) ok = Fail(name + "a red zone where graph.ini gives none");
    } else {
      const int from = Rows(g.lower, g.sizeIndex, plotHeight);
      const int to = Rows(g.upper, g.sizeIndex, plotHeight);
      if (first < 0 || std::abs(first - from) > 1 || std::abs(last + 1 - to) > 1) {
        ok = Fail(name + "red zone rows " + std::to_string(first) + ".." + std::to_string(last) +
                  ", expected " + std::to_string(from) + ".." + std::to_string(to - 1));
      }
    }
    return ok;
  }

  // The status line's pixels: how many have its colour and how many those of the other states,
  // and where its text is (every pixel that is not white).
  struct StatusLook {
    int own = 0, others = 0, white = 0;
    std::vector<bool> ink;
  };
  StatusLook LookAtStatus(const Shot& shot, const Rgb& own) {
    StatusLook look;
    const Box& b = shot.boxes.at(1055);
    for (int y = b.y; y < b.y + b.h; ++y) {
      for (int x = b.x; x < b.x + b.w; ++x) {
        const Rgb c = shot.picture.At(x, y);
        look.ink.push_back(!(c == kWhite));
        if (c == own) {
          ++look.own;
        } else if (c == kWhite) {
          ++look.white;
        } else if (c == kGreen || c == kRed || c == kOrange) {
          ++look.others;
        }
      }
    }
    return look;
  }

  bool ScreenWhileOnline() {
    std::vector<int> ids{1000, 1001, 1002, 1003, 1004, 1005, 1055};
    if (!TakeShot("online.bmp", ids, &online_)) return false;
    bool ok = true;
    const std::map<int, std::string> texts = Texts({1016, 1017, 1018, 1019, 1020, 1021});
    for (std::size_t k = 0; k < kGraphs.size(); ++k) {
      const int id = 1016 + static_cast<int>(k);
      const std::string shown = texts.count(id) ? texts.at(id) : "<none>";
      if (shown != readings_.at(kGraphs[k].item)) {
        ok = Fail("value text " + std::to_string(k + 1) + " shows " + shown + ", the service " +
                  readings_.at(kGraphs[k].item));
      }
      ok = CheckGraph(online_, k, "online") && ok;
    }
    const StatusLook look = LookAtStatus(online_, kGreen);
    if (look.own < 10 || look.others != 0 || look.white == 0) {
      ok = Fail("the status line is not green text on white: " + std::to_string(look.own) +
                " green, " + std::to_string(look.others) + " of another status colour");
    }
    if (ok) Say("online: six bars, red zones and the green status line as the readings give");
    return ok;
  }

  // The mains fails: the status line turns red with another text, the input voltage reads 0.
  bool ScreenOnBattery() {
    if (sim_.Control("power off") != "ok" || sim_.Control("push-status") != "ok") {
      return Fail("upssim refused the mains failure");
    }
    Shot battery;
    StatusLook look;
    if (!WaitUntil(Left(30000), [&] {
          if (!TakeShot("battery.bmp", {1000, 1055}, &battery)) return false;
          look = LookAtStatus(battery, kRed);
          return look.own >= 10;
        }, 500)) {
      return Fail("the status line did not turn red on battery");
    }
    bool ok = true;
    if (look.others != 0) ok = Fail("the red status line has pixels of another status colour");
    if (look.ink == LookAtStatus(online_, kGreen).ink) {
      ok = Fail("the status line shows the same text on battery as online");
    }
    // The input voltage reads 0 once the reply after the failure is drawn.
    if (!WaitUntil(Left(20000), [&] { return Texts({1016})[1016] == "0.0"; }, 500)) {
      ok = Fail("the input voltage does not read 0.0 on battery");
    } else if (TakeShot("battery.bmp", {1000, 1055}, &battery)) {
      const Box& b = battery.boxes.at(1000);
      const int split = 1 + (b.w - 2) * 3 / 4;
      if (!(battery.picture.At(b.x + (3 + split - 2) / 2, b.y + b.h - 2) == kBack)) {
        ok = Fail("the input voltage's bar did not fall to nothing");
      }
    }
    if (ok) Say("on battery: red status line with another text, input voltage 0");
    return ok;
  }

  // A message box of the monitor: its text (empty when none came within ms), OK pressed.
  std::string AnswerMessageBox(int ms) {
    std::string out;
    if (Snap({"msgbox", kCaption, std::to_string(Left(ms)), "ok"}, &out) != 0) return "";
    out.erase(out.find_last_not_of("\r\n") + 1);
    return out;
  }

  bool SecondInstanceRefused() {
    const std::string before = Texts({1022})[1022];
    const pid_t second = StartMonitor({"/host", "localhost", "/tabfile", "upstab.ini"});
    const std::string text = AnswerMessageBox(20000);
    bool ok = true;
    if (text != "リアルタイム表示は既に起動しています") {
      ok = Fail("the second monitor said [" + text + "]");
    }
    if (nativedriver::Wait(second, LeftSeconds(15), "the second monitor") < 0) {
      ok = Fail("the second monitor did not end");
    }
    // The first one reads on.
    if (!WaitUntil(Left(20000), [&] {
          const std::string now = Texts({1022})[1022];
          return !now.empty() && now != before;
        }, 500)) {
      ok = Fail("the first monitor stopped reading after the second one started");
    }
    if (ok) Say("a second monitor is refused; the first reads on");
    return ok;
  }

  bool CloseMonitor() {
    std::string out;
    if (Snap({"close", kTitle}, &out) != 0) return Fail("no monitor window to close");
    const int rc = nativedriver::Wait(monitor_, LeftSeconds(20), "the monitor");
    monitor_ = -1;
    if (rc < 0) return Fail("the monitor did not end when its window closed");
    return true;
  }

  // Each start-up failure: its message (or none), and the program ends.
  bool StartupFailures() {
    const std::string logitem = ReadFile(install_ + "/logitem.ini");
    WriteFile(install_ + "/noups.ini",
              nativedriver::SetKeys(ReadFile(install_ + "/upstab.ini"), "upstab",
                                    {{"upsname", "0"}}));
    struct Case {
      const char* what;
      std::vector<std::string> args;
      const char* message;  // nullptr: none
      std::function<bool()> before;
    };
    const std::vector<Case> cases = {
        {"host without tab file", {"/host", "localhost"}, "コマンドラインを記入してください",
         nullptr},
        {"upsname=0", {"/host", "localhost", "/tabfile", "noups.ini"},
         "UPS番号が取得できませんでした。", nullptr},
        {"logitem.ini without txt4",
         {"/host", "localhost", "/tabfile", "upstab.ini"},
         "表示項目を取得出来ませんでした。",
         [&] {
           return WriteFile(install_ + "/logitem.ini",
                            nativedriver::SetKeys(logitem, "1", {{"txt4", std::nullopt}}));
         }},
        {"no PathName", {"/host", "localhost", "/tabfile", "upstab.ini"}, nullptr,
         [&] {
           WriteFile(install_ + "/logitem.ini", logitem);
           return Wine({"reg", "delete", kProductKey, "/v", "PathName", "/f"}) == 0;
         }},
    };
    bool ok = true;
    for (const Case& c : cases) {
      if (c.before && !c.before()) {
        ok = Fail(std::string(c.what) + ": the case could not be prepared");
        continue;
      }
      const pid_t pid = StartMonitor(c.args);
      if (c.message != nullptr) {
        const std::string text = AnswerMessageBox(20000);
        if (text != c.message) {
          ok = Fail(std::string(c.what) + ": message [" + text + "], expected [" + c.message +
                    "]");
        }
      }
      // A message box left open would keep the program: it must end by itself.
      if (nativedriver::Wait(pid, LeftSeconds(15), c.what) < 0) {
        ok = Fail(std::string(c.what) + ": the monitor did not end");
      }
    }
    if (ok) Say("start-up failures: each message shown, each monitor ended");
    return ok;
  }

  bool CleanUp() {
    bool ok = true;
    if (monitor_ > 0) {
      std::string out;
      Snap({"close", kTitle}, &out, 5);
      nativedriver::Wait(monitor_, LeftSeconds(10), "the monitor");
    }
    if (created_) {
      Wine({"sc", "stop", kService});
      if (!WaitUntil(Left(30000), [&] { return Wine({"sc", "delete", kService}) == 0; }, 500)) {
        ok = Fail("sc delete");
      }
    }
    if (configured_) {
      if (Wine({"reg", "delete", kPortsKey, "/v", o_.port, "/f"}) != 0) {
        ok = Fail("the " + o_.port + " mapping was not removed");
      }
      Wine({"reg", "delete", kProductKey, "/f"});
      Wine({"reg", "delete", kX11Key, "/v", "Managed", "/f"});
      Wine({"reg", "delete", kFontKey, "/v", kDialogFont, "/f"});
      const int restored =
          graphicsBefore_.empty()
              ? Wine({"reg", "delete", kDriversKey, "/v", "Graphics", "/f"})
              : Wine({"reg", "add", kDriversKey, "/v", "Graphics", "/d",
                      graphicsBefore_ == "-" ? "" : graphicsBefore_, "/f"});
      if (restored != 0) ok = Fail("the graphics driver was not put back");
    }
    if (!keeper_.Stop()) ok = Fail("the Wine session did not end");
    // The next Windows program must find a desktop with the graphics driver put back.
    if (configured_) RestartWineServer();
    if (xvfb_ > 0) {
      ::kill(xvfb_, SIGTERM);
      nativedriver::Wait(xvfb_, 10, "Xvfb");
    }
    if (!sim_.Stop()) ok = Fail("upssim did not end cleanly");
    return ok;
  }

  const Options o_;
  const std::string install_, journal_, calls_, wineLog_, snapOut_;
  Clock::time_point deadline_ = Clock::now();
  int upsport_ = 0;
  pid_t xvfb_ = -1, monitor_ = -1;
  std::string display_, pty_, graphicsBefore_, initialStamp_;
  nativedriver::Simulator sim_;
  nativedriver::WineKeeper keeper_;
  bool configured_ = false, created_ = false;
  std::map<int, std::string> readings_;
  Shot online_;
};

}  // namespace

int main(int argc, char** argv) {
  nativedriver::programName = "linewatch_driver";
  ::signal(SIGPIPE, SIG_IGN);
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: linewatch_driver --upssim PATH --preload PATH --wine-run PATH "
                 "--wardend PATH --wardctl PATH --recorder PATH --linewatch PATH --snap PATH "
                 "--examples DIR --work DIR [--port COMn]\n");
    return 2;
  }
  if (!nativedriver::TakeWinePrefix()) return 2;
  return Driver(o).Main();
}
