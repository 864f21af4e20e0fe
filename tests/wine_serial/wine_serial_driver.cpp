// Runs the Win32 serial contract test under Wine against upssim (a Linux program, built natively).
//
//   wine_serial_driver --upssim PATH --preload PATH --wine-run PATH --test PATH --work DIR
//                      [--port COM5] [-- extra test arguments]
//
// 1. starts upssim on a pseudo-terminal with its journal in DIR;
// 2. maps the COM port to that pseudo-terminal in the Wine registry
//    (HKLM\Software\Wine\Ports) and restarts the wineserver so that the mapping is read;
// 3. runs the test program under Wine with the modem-line preload library and the port name,
//    the journal path and a control port in the environment. Wine's Winsock has no UNIX
//    sockets, so the test sends upssim's control lines over TCP on 127.0.0.1 and the driver
//    passes each one to upssim's stdin and its answer line back;
// 4. removes the mapping and stops upssim. Every step is bounded in time.
//
// WINEPREFIX is taken from the environment, else from VS_DEFAULT_WINEPREFIX.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "native_driver.h"

namespace {

using nativedriver::LineReader;
using nativedriver::Run;
using nativedriver::Spawn;
using nativedriver::Wait;
using nativedriver::WindowsPath;

struct Options {
  std::string upssim, preload, wineRun, test, work, port = "COM5";
  std::vector<std::string> testArgs;
};

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      o->testArgs.assign(argv + i + 1, argv + argc);
      break;
    }
    if (i + 1 >= argc) return false;
    const std::string v = argv[++i];
    if (a == "--upssim") o->upssim = v;
    else if (a == "--preload") o->preload = v;
    else if (a == "--wine-run") o->wineRun = v;
    else if (a == "--test") o->test = v;
    else if (a == "--work") o->work = v;
    else if (a == "--port") o->port = v;
    else return false;
  }
  return !o->upssim.empty() && !o->preload.empty() && !o->wineRun.empty() && !o->test.empty() &&
         !o->work.empty();
}

// Control lines for upssim from the Windows test: one connection per line on 127.0.0.1, the
// line in, upssim's answer line out.
class ControlRelay {
 public:
  ControlRelay(int toSim, LineReader& fromSim) : toSim_(toSim), fromSim_(fromSim) {}
  ~ControlRelay() {
    if (listener_ >= 0) ::close(listener_);
  }

  // Listens on a free port of 127.0.0.1; the port, or 0 on failure.
  int Listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
      return 0;
    }
    return ntohs(addr.sin_port);
  }

  // Serves the connections that are waiting, or waits up to 20 ms for one.
  void Serve() {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) return;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    LineReader in(client);
    const std::string line = in.ReadLine(5000);
    std::string answer = "error: the driver got no control line";
    if (!line.empty()) {
      const std::string text = line + "\n";
      answer = ::write(toSim_, text.data(), text.size()) == static_cast<ssize_t>(text.size())
                   ? fromSim_.ReadLine(5000)
                   : "error: upssim does not take control lines";
    }
    const std::string out = answer + "\n";
    if (::send(client, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size())) {
      std::fprintf(stderr, "wine_serial_driver: the test left before its control answer\n");
    }
    ::close(client);
  }

 private:
  int toSim_;
  LineReader& fromSim_;
  int listener_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  nativedriver::programName = "wine_serial_driver";
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: wine_serial_driver --upssim PATH --preload PATH --wine-run PATH "
                 "--test PATH --work DIR [--port COMn] [-- test arguments]\n");
    return 2;
  }
  if (std::getenv("WINEPREFIX") == nullptr) {
    const char* fallback = std::getenv("VS_DEFAULT_WINEPREFIX");
    if (fallback == nullptr) {
      std::fprintf(stderr, "wine_serial_driver: set WINEPREFIX\n");
      return 2;
    }
    ::setenv("WINEPREFIX", fallback, 1);
  }
  ::mkdir(o.work.c_str(), 0755);
  const std::string journal = o.work + "/journal.txt";
  ::unlink(journal.c_str());

  int out[2], in[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return 1;
  if (::pipe2(in, O_CLOEXEC) != 0) return 1;
  const pid_t sim = Spawn({o.upssim, "--journal", journal}, {}, out[1], in[0]);
  ::close(out[1]);
  ::close(in[0]);
  LineReader fromSim(out[0]);
  const std::string pty = fromSim.ReadLine(5000);
  if (pty.empty()) {
    std::fprintf(stderr, "wine_serial_driver: upssim did not report its line\n");
    if (sim > 0) ::kill(sim, SIGTERM);
    Wait(sim, 5, "upssim");
    ::close(out[0]);
    ::close(in[1]);
    return 1;
  }
  ControlRelay relay(in[1], fromSim);
  const int controlPort = relay.Listen();
  if (controlPort == 0) {
    std::fprintf(stderr, "wine_serial_driver: cannot listen on 127.0.0.1: %s\n",
                 std::strerror(errno));
  }
  std::printf("wine_serial_driver: upssim on %s, mapped as %s (WINEPREFIX=%s)\n", pty.c_str(),
              o.port.c_str(), std::getenv("WINEPREFIX"));
  std::fflush(stdout);

  const std::string portsKey = "HKLM\\Software\\Wine\\Ports";
  int result = 1;
  if (Run({o.wineRun, "reg", "add", portsKey, "/v", o.port, "/d", pty, "/f"}, 120,
          "wine reg add") != 0) {
    std::fprintf(stderr, "wine_serial_driver: wine reg add failed\n");
  } else {
    // The port mapping is read when the wineserver starts.
    Run({"wineserver", "-k"}, 30, "wineserver -k");
    Run({"wineserver", "-w"}, 30, "wineserver -w");
    std::vector<std::string> test = {o.wineRun, o.test};
    test.insert(test.end(), o.testArgs.begin(), o.testArgs.end());
    result = Wait(Spawn(test, {"LD_PRELOAD=" + o.preload, "VS_WINE_COM=" + o.port,
                               "VS_UPSSIM_JOURNAL=" + WindowsPath(journal),
                               "VS_UPSSIM_CONTROL_PORT=" + std::to_string(controlPort)}),
                  150, "the Wine test", [&relay] { relay.Serve(); });
    if (Run({o.wineRun, "reg", "delete", portsKey, "/v", o.port, "/f"}, 60, "wine reg delete") !=
        0) {
      std::fprintf(stderr, "wine_serial_driver: could not remove the %s mapping\n",
                   o.port.c_str());
    }
  }
  ::kill(sim, SIGTERM);
  if (Wait(sim, 5, "upssim") != 0) std::fprintf(stderr, "wine_serial_driver: upssim failed\n");
  ::close(out[0]);
  ::close(in[1]);
  return result == 0 ? 0 : 1;
}
