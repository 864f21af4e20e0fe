// The protection path of wardend.exe end to end under Wine (a Linux program, built natively;
// its literals are CP932 like the service's diagnostic log):
//
//   wine_protection_driver --upssim PATH --preload PATH --wine-run PATH --wardend PATH
//                          --wardctl PATH --recorder PATH --examples DIR --work DIR
//                          [--port COM16] [--service NAME] [--time-scale 10]
//
// 1. prepares an installation directory in DIR from the examples, with a short mains-failure
//    countdown and no notices to the network, and starts upssim on a pseudo-terminal;
// 2. maps the COM port to the pseudo-terminal and writes PathName and ShutdownCommand (the
//    Windows recorder) into Wine's registry, then restarts the wineserver, so that the mapping
//    is read and Wine's services run with the modem-line preload library and the safety net
//    that refuses the system's own shutdown calls;
// 3. registers and starts wardend.exe with sc, waits for the link, asks it for its status and
//    its identification over UDP on the loopback with the native wardctl, fails the mains and
//    checks the road to the end: events 2, 4 and 5, the UPS power-off command with the delays
//    the settings give, the recorder called once with "shutdown", the outputs off once the
//    UPS's delay has passed;
// 4. stops and deletes the service, removes the registry values, ends the Wine session it began
//    and stops upssim.
// Every wait is bounded; the exit code is 0 only when every check passed.
//
// WINEPREFIX is taken from the environment, else from VS_DEFAULT_WINEPREFIX.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

struct Options {
  std::string upssim, preload, wineRun, wardend, wardctl, recorder, examples, work;
  std::string port = "COM16", service = "VoltSentryE2e", timeScale = "10";
};

bool Parse(int argc, char** argv, Options* o) {
  return nativedriver::ParseOptions(
      argc, argv,
      {{"--upssim", &o->upssim}, {"--preload", &o->preload}, {"--wine-run", &o->wineRun},
       {"--wardend", &o->wardend}, {"--wardctl", &o->wardctl}, {"--recorder", &o->recorder},
       {"--examples", &o->examples}, {"--work", &o->work}, {"--port", &o->port},
       {"--service", &o->service}, {"--time-scale", &o->timeScale}},
      {&o->upssim, &o->preload, &o->wineRun, &o->wardend, &o->wardctl, &o->recorder,
       &o->examples, &o->work});
}

// The commands of a journal in the order they came ("UP 22", "US 00300000", "RD", ...).
std::vector<std::string> JournalCommands(const std::string& journal) {
  std::vector<std::string> commands;
  std::size_t start = 0;
  while (start < journal.size()) {
    std::size_t end = journal.find('\n', start);
    if (end == std::string::npos) end = journal.size();
    const std::string line = journal.substr(start, end - start);
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) commands.push_back(line.substr(blank + 1));
    start = end + 1;
  }
  return commands;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  for (const std::string& entry : list) {
    if (entry == item) return true;
  }
  return false;
}

class Driver {
 public:
  explicit Driver(const Options& o)
      : o_(o),
        install_(o.work + "/install"),
        journal_(o.work + "/journal.txt"),
        calls_(o.work + "/shutdown-calls.txt"),
        wineLog_(o.work + "/wine.log"),
        wardctlOut_(o.work + "/wardctl.txt") {}

  int Main() {
    if (!PrepareInstallation()) return 1;
    if (!StartUps()) {
      CleanUp();
      return 1;
    }
    deadline_ = Clock::now() + std::chrono::seconds(kRunSeconds);
    const bool ran =
        Configure() && StartService() && AnswersWardctl() && FollowTheMainsFailure();
    deadline_ = Clock::now() + std::chrono::seconds(kCleanUpSeconds);
    const bool stopped = StopService();
    const bool cleaned = CleanUp();
    if (!ran || !stopped) {
      std::fprintf(stderr, "--- srvlog.log ---\n%s\n--- journal ---\n%s\n--- wine ---\n%s\n",
                   Readable(ReadFile(SrvLog())).c_str(), ReadFile(journal_).c_str(),
                   ReadFile(wineLog_).c_str());
    }
    std::printf("wine_protection_driver: %s\n", ran && stopped && cleaned ? "passed" : "FAILED");
    return ran && stopped && cleaned ? 0 : 1;
  }

 private:
  // The test's time limit is 150 s: the run may take kRunSeconds, the clean-up kCleanUpSeconds
  // (each command of it at least one second, then up to 15 s for the session and upssim to
  // end), so that the clean-up always has its time. A passing run takes about 20 s.
  static constexpr int kRunSeconds = 70;
  static constexpr int kCleanUpSeconds = 45;

  std::string SrvLog() const { return install_ + "/srvlog.log"; }

  // ms, or what is left of the phase's time when that is less.
  int Left(int ms) const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, std::min<long long>(ms, left)));
  }

  bool Fail(const std::string& what) {
    std::fprintf(stderr, "wine_protection_driver: FAILED: %s\n", what.c_str());
    return false;
  }

  // The installation: the example files, upstab.ini with the port, a countdown of seconds, the
  // UPS told to power off after 30 s without a restart, no notice to any monitor, and a UDP
  // port of this run's own.
  bool PrepareInstallation() {
    upsport_ = nativedriver::FreeUdpPort();
    if (upsport_ == 0) return Fail("no free UDP port on the loopback");
    std::error_code error;
    fs::remove_all(install_, error);
    for (const std::string& file : {journal_, calls_, wineLog_, wardctlOut_}) {
      fs::remove(file, error);
    }
    fs::create_directories(install_, error);
    if (error) return Fail("create " + install_ + ": " + error.message());
    for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini"}) {
      fs::copy_file(o_.examples + "/" + name, install_ + "/" + name, error);
      if (error) return Fail(std::string("copy ") + name + ": " + error.message());
    }
    // No timetable: the example's hours would stop the service in the middle of the run.
    std::ofstream(install_ + "/sched.ini", std::ios::binary) << "; no timetable\r\n";
    const std::string upstab = nativedriver::SetKeys(
        ReadFile(install_ + "/upstab.ini"), "upstab",
        {{"ttyname", o_.port}, {"srvlog", "1"}, {"untilshutdown", "3"}, {"forshutdown", "3"},
         {"upsautodown", "30"}, {"autoreboot", "0"}, {"relaymode", "3"},
         {"InitiateSystemShutdown", "1"}, {"UdpMessageService", "0"}, {"MessengerService", "0"},
         {"TrapTo", ""}, {"upsport", std::to_string(upsport_)}});
    return WriteFile(install_ + "/upstab.ini", upstab) || Fail("write upstab.ini");
  }

  bool StartUps() {
    pty_ = sim_.Start(o_.upssim, {"--journal", journal_, "--time-scale", o_.timeScale});
    if (pty_.empty()) return Fail("upssim did not report its line");
    std::printf("wine_protection_driver: upssim on %s, mapped as %s (WINEPREFIX=%s)\n",
                pty_.c_str(), o_.port.c_str(), std::getenv("WINEPREFIX"));
    std::fflush(stdout);
    return true;
  }

  // A Windows program under Wine in code page 932, with the preload library and the safety net
  // in its environment; its output goes to the Wine log. The exit code, or -1.
  int Wine(const std::vector<std::string>& args, int seconds = 30) {
    seconds = std::max(1, Left(seconds * 1000) / 1000);
    std::vector<std::string> command{o_.wineRun};
    command.insert(command.end(), args.begin(), args.end());
    const int log = ::open(wineLog_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    std::string what;
    for (const std::string& a : args) what += (what.empty() ? "" : " ") + a;
    const int rc = nativedriver::Run(command, seconds, what.c_str(), WineEnvironment(), log);
    if (log >= 0) ::close(log);
    return rc;
  }

  // The port mapping, PathName and ShutdownCommand in one import; then a fresh wineserver, whose
  // services take the mapping and the environment of the first program that starts them.
  bool Configure() {
    const std::string reg =
        "REGEDIT4\r\n\r\n[" + std::string(kPortsKey) + "]\r\n\"" + o_.port + "\"=\"" +
        RegText(pty_) + "\"\r\n\r\n[" + kProductKey + "]\r\n\"PathName\"=\"" +
        RegText(WindowsPath(install_)) + "\"\r\n\"ShutdownCommand\"=\"" +
        RegText("\"" + WindowsPath(o_.recorder) + "\" " + WindowsPath(calls_)) + "\"\r\n";
    const std::string regFile = o_.work + "/setup.reg";
    if (!WriteFile(regFile, reg)) return Fail("write setup.reg");
    configured_ = true;
    if (Wine({"reg", "import", WindowsPath(regFile)}) != 0) return Fail("wine reg import");
    nativedriver::Run({"wineserver", "-k"}, std::max(1, Left(30000) / 1000), "wineserver -k");
    nativedriver::Run({"wineserver", "-w"}, std::max(1, Left(30000) / 1000), "wineserver -w");
    if (!keeper_.Start(o_.wineRun, WineEnvironment(), wineLog_)) {
      return Fail("the Wine session did not start");
    }
    // A service left by a run that was killed goes first; its absence is no failure.
    Wine({"sc", "stop", o_.service});
    Wine({"sc", "delete", o_.service});
    return true;
  }

  std::vector<std::string> WineEnvironment() const {
    return {"LD_PRELOAD=" + o_.preload, "VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1"};
  }

  bool StartService() {
    if (Wine({"sc", "create", o_.service, "binPath=", WindowsPath(o_.wardend)}) != 0) {
      return Fail("sc create");
    }
    created_ = true;
    // Wine's sc ends "start" with a non-zero code even when the service starts: the log tells.
    Wine({"sc", "start", o_.service});
    if (!WaitUntil(Left(60000),
                   [&] { return Has(JournalCommands(ReadFile(journal_)), "RD"); })) {
      return Fail("no status request (RD) reached the UPS: the link did not come up");
    }
    if (ReadFile(SrvLog()).find("UPS：RI応答 あり") == std::string::npos) {
      return Fail("the handshake's RI line is missing from srvlog.log");
    }
    return true;
  }

  // The native wardctl on the Linux side asks the service under Wine over the loopback: a
  // status record, then the identification texts the UPS gave in the handshake.
  bool AnswersWardctl() {
    auto ask = [&](const std::vector<std::string>& command) {
      std::vector<std::string> args{o_.wardctl, "--host", "127.0.0.1", "--port",
                                    std::to_string(upsport_)};
      args.insert(args.end(), command.begin(), command.end());
      const int out =
          ::open(wardctlOut_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      const int rc = nativedriver::Run(args, std::max(1, Left(15000) / 1000), "wardctl", {}, out);
      if (out >= 0) ::close(out);
      return rc;
    };
    // The service serves status once its first status record is decoded; until then it refuses.
    if (!WaitUntil(Left(20000), [&] { return ask({"status"}) == 0; })) {
      return Fail("wardctl status was not answered: " + ReadFile(wardctlOut_));
    }
    if (ask({"info", "0"}) != 0 || ReadFile(wardctlOut_).find("SIM-1000") == std::string::npos) {
      return Fail("wardctl info 0 did not show the UPS's model: " + ReadFile(wardctlOut_));
    }
    std::printf("wine_protection_driver: wardctl info 0 answered by wardend.exe:\n%s",
                ReadFile(wardctlOut_).c_str());
    return true;
  }

  // The order of the events in srvlog.log: each found after the one before.
  bool EventsInOrder(const std::vector<int>& events) {
    const std::string log = ReadFile(SrvLog());
    std::size_t at = 0;
    for (int event : events) {
      at = log.find("イベント発生：メッセージNo[" + std::to_string(event) + "]", at);
      if (at == std::string::npos) return false;
    }
    return true;
  }

  bool FollowTheMainsFailure() {
    // The UPS reports the failure at once, as it does when its input drops.
    if (sim_.Control("power off") != "ok" || sim_.Control("push-status") != "ok") {
      return Fail("upssim refused the mains failure");
    }
    if (!WaitUntil(Left(20000), [&] { return EventsInOrder({2}); })) return Fail("no event 2");
    if (!WaitUntil(Left(30000), [&] { return EventsInOrder({2, 4}); })) return Fail("no event 4");
    bool ok = true;
    if (!WaitUntil(Left(30000), [&] {
          const std::vector<std::string> commands = JournalCommands(ReadFile(journal_));
          return Has(commands, "US 00300000") && Has(commands, "UP 22");
        })) {
      ok = Fail("the UPS did not get US 00300000 and UP 22");
    } else {
      // The power-off delay runs: both outputs are still on, each with its timer.
      const std::string state = sim_.Control("state");
      if (state.find("outputs=11") == std::string::npos ||
          state.find("off1+") == std::string::npos || state.find("off2+") == std::string::npos) {
        ok = Fail("right after the power-off command the outputs should wait: " + state);
      }
    }
    if (!WaitUntil(Left(30000), [&] { return EventsInOrder({2, 4, 5}); })) {
      ok = Fail("no event 5");
    }
    if (!WaitUntil(Left(30000), [&] { return ReadFile(calls_) == "[shutdown]\n"; })) {
      ok = Fail("the recorder was not called once with shutdown: [" + ReadFile(calls_) + "]");
    }
    if (!WaitUntil(Left(10000), [&] {
          return ReadFile(SrvLog()).find("InitiateSystemShutdownEx()　成功") != std::string::npos;
        })) {
      ok = Fail("srvlog.log does not tell the shutdown's success");
    }
    std::string state;
    if (!WaitUntil(Left(20000), [&] {
          state = sim_.Control("state");
          return state.find("outputs=00") != std::string::npos;
        })) {
      ok = Fail("the outputs are not off after the power-off delay: " + state);
    }
    return ok;
  }

  bool StopService() {
    if (!created_) return true;
    bool ok = true;
    if (Wine({"sc", "stop", o_.service}) != 0) ok = Fail("sc stop");
    if (!WaitUntil(Left(30000), [&] {
          return ReadFile(SrvLog()).find("サービス終了") != std::string::npos;
        })) {
      ok = Fail("the service did not stop");
    }
    // The final state is kept to the end: no second shutdown came before the stop.
    if (ReadFile(calls_) != "[shutdown]\n") {
      ok = Fail("the recorder's calls changed: [" + ReadFile(calls_) + "]");
    }
    // A service still stopping is deleted once it has gone.
    if (!WaitUntil(Left(30000), [&] { return Wine({"sc", "delete", o_.service}) == 0; })) {
      ok = Fail("sc delete");
    }
    if (Wine({"sc", "query", o_.service}) == 0) ok = Fail("the service is still registered");
    return ok;
  }

  bool CleanUp() {
    bool ok = true;
    if (configured_) {
      if (Wine({"reg", "delete", kPortsKey, "/v", o_.port, "/f"}) != 0) {
        ok = Fail("the " + o_.port + " mapping was not removed");
      }
      if (Wine({"reg", "delete", kProductKey, "/f"}) != 0) ok = Fail("the product key stays");
    }
    if (!keeper_.Stop()) ok = Fail("the Wine session did not end");
    if (!sim_.Stop()) ok = Fail("upssim did not end cleanly");
    return ok;
  }

  const Options o_;
  const std::string install_, journal_, calls_, wineLog_, wardctlOut_;
  int upsport_ = 0;
  nativedriver::Simulator sim_;
  std::string pty_;
  Clock::time_point deadline_ = Clock::now();
  nativedriver::WineKeeper keeper_;
  bool configured_ = false;
  bool created_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  nativedriver::programName = "wine_protection_driver";
  // An upssim that ended early must fail a check, not end the driver before its clean-up.
  ::signal(SIGPIPE, SIG_IGN);
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: wine_protection_driver --upssim PATH --preload PATH --wine-run PATH "
                 "--wardend PATH --wardctl PATH --recorder PATH --examples DIR --work DIR "
                 "[--port COMn] "
                 "[--service NAME] [--time-scale F]\n");
    return 2;
  }
  if (!nativedriver::TakeWinePrefix()) return 2;
  return Driver(o).Main();
}
