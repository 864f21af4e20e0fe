// The serial line contract against the Win32 backend under Wine. Started by
// wine_serial_driver, which runs upssim on a pseudo-terminal, maps a COM port to it in the Wine
// registry and passes the port name, the simulator's journal and the 127.0.0.1 port that relays
// its control lines in the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/win32/windows_support.h"
#include "support/serial_contract.h"

namespace testsupport {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Sends one control line to the driver's relay and returns upssim's answer line; an
// "error: ..." text when the relay cannot be reached. Every step is bounded by 10 s.
std::string RelayControl(int port, const std::string& line) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return "error: WSAStartup";
  std::string answer = "error: the control relay on 127.0.0.1 did not answer";
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s != INVALID_SOCKET) {
    const DWORD timeoutMs = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<u_short>(port));
    const std::string text = line + "\n";
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size())) {
      std::string received;
      char chunk[256];
      int n = 0;
      while (received.find('\n') == std::string::npos &&
             (n = recv(s, chunk, sizeof chunk, 0)) > 0) {
        received.append(chunk, static_cast<std::size_t>(n));
      }
      const std::size_t end = received.find('\n');
      if (end != std::string::npos) answer = received.substr(0, end);
    }
    closesocket(s);
  }
  WSACleanup();
  return answer;
}

// Sets the flow control and error handling of the driver through a handle of its own; the
// driver keeps them for the next open.
bool PresetFlowControl(const std::string& port) {
  platform::win32::UniqueHandle handle(CreateFileA(("\\\\.\\" + port).c_str(),
                                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                   OPEN_EXISTING, 0, nullptr));
  if (!handle.Valid()) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle.Get(), &dcb)) return false;
  dcb.fOutX = TRUE;
  dcb.fInX = TRUE;
  dcb.fOutxCtsFlow = TRUE;
  dcb.fOutxDsrFlow = TRUE;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fAbortOnError = TRUE;
  return SetCommState(handle.Get(), &dcb) != 0;
}

class WineSerialContract : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.factory = &platform::SystemSerialFactory();
    target_.portName = Env("VS_WINE_COM");
    target_.journalPath = Env("VS_UPSSIM_JOURNAL");
    const int controlPort = std::atoi(Env("VS_UPSSIM_CONTROL_PORT").c_str());
    ASSERT_FALSE(target_.portName.empty() || target_.journalPath.empty() || controlPort <= 0)
        << "run through wine_serial_driver, which sets VS_WINE_COM, VS_UPSSIM_JOURNAL and "
           "VS_UPSSIM_CONTROL_PORT";
    target_.control = [controlPort](const std::string& line) {
      return RelayControl(controlPort, line);
    };
    const std::string port = target_.portName;
    target_.presetFlowControl = [port] { return PresetFlowControl(port); };
  }
  SerialContractTarget target_;
};

TEST_F(WineSerialContract, ConfigureRoundTrip) { CheckConfigureRoundTrip(target_); }
TEST_F(WineSerialContract, ParityAccepted) { CheckParityAccepted(target_); }
TEST_F(WineSerialContract, StatusTransaction) { CheckStatusTransaction(target_); }
TEST_F(WineSerialContract, ControlTransaction) { CheckControlTransaction(target_); }
TEST_F(WineSerialContract, FlowControlBytesPass) { CheckFlowControlBytesPass(target_); }
TEST_F(WineSerialContract, ReadTimeout) { CheckReadTimeout(target_); }
TEST_F(WineSerialContract, ReleaseEndsPendingWait) { CheckReleaseEndsPendingWait(target_); }
TEST_F(WineSerialContract, ClosePortEndsPendingWait) { CheckClosePortEndsPendingWait(target_); }

TEST(WineSerialMissing, UnmappedPortFails) {
  CheckMissingPortFails(platform::SystemSerialFactory(), "COM199");
}

}  // namespace
}  // namespace testsupport
