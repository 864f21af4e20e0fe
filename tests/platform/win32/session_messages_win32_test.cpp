// The Windows backend of the session messages over recording stand-ins of its system calls:
// what it asks (levels, sizes, UTF-16 lengths in bytes, no wait for an answer), what it frees
// and how it turns the answers into names and deliveries. Wine's own answers are not relied on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/message_calls.h"

namespace {

// What the stand-ins were asked, in order.
std::vector<std::string> calls;
std::vector<std::wstring> texts;  // titles and messages as the system got them
int frees = 0;

// The answers of the stand-ins.
NET_API_STATUS wkstaStatus = NERR_Success;
DWORD sendToSession2Error = 0;
std::vector<WTS_SESSION_INFOW> sessionList;

// The system's buffers: zeroed memory that the free stand-ins give back.
template <typename T>
T* Allocate(std::size_t count) {
  void* memory = ::operator new(sizeof(T) * count);
  std::memset(memory, 0, sizeof(T) * count);
  return static_cast<T*>(memory);
}

NET_API_STATUS WINAPI FakeWkstaGetInfo(LMSTR server, DWORD level, LPBYTE* buffer) {
  calls.push_back("NetWkstaGetInfo " + std::string(server ? "remote" : "local") + " " +
                  std::to_string(level));
  if (wkstaStatus != NERR_Success) return wkstaStatus;
  static wchar_t name[] = L"UPSHOST";
  auto* info = Allocate<WKSTA_INFO_100>(1);
  info->wki100_computername = name;
  *buffer = reinterpret_cast<LPBYTE>(info);
  return NERR_Success;
}

NET_API_STATUS WINAPI FakeMessageBufferSend(LPCWSTR server, LPCWSTR name, LPCWSTR from,
                                            LPBYTE buffer, DWORD bytes) {
  calls.push_back(std::string("NetMessageBufferSend ") + (server ? "remote" : "local") + " " +
                  (from ? "from" : "nofrom") + " " + std::to_string(bytes));
  texts.push_back(name);
  texts.push_back(std::wstring(reinterpret_cast<const wchar_t*>(buffer), bytes / 2));
  return NERR_NameNotFound;
}

NET_API_STATUS WINAPI FakeSessionEnum(LMSTR, LMSTR, LMSTR, DWORD level, LPBYTE* buffer,
                                      DWORD size, LPDWORD read, LPDWORD total, LPDWORD resume) {
  calls.push_back("NetSessionEnum " + std::to_string(level) + " " +
                  (size == MAX_PREFERRED_LENGTH ? "nolimit" : std::to_string(size)) + " " +
                  std::to_string(*resume));
  static wchar_t client[] = L"HOSTB";
  static wchar_t user[] = L"tanaka";
  auto* entries = Allocate<SESSION_INFO_1>(1);
  entries[0].sesi1_cname = client;
  entries[0].sesi1_username = user;
  entries[0].sesi1_num_opens = 2;
  *buffer = reinterpret_cast<LPBYTE>(entries);
  *read = 1;
  *total = 2;
  *resume = 77;
  return ERROR_MORE_DATA;
}

NET_API_STATUS WINAPI FakeApiBufferFree(LPVOID buffer) {
  ++frees;
  calls.push_back("NetApiBufferFree");
  ::operator delete(buffer);
  return NERR_Success;
}

BOOL WINAPI FakeEnumerateSessions(HANDLE, DWORD, DWORD version, PWTS_SESSION_INFOW* list,
                                  DWORD* count) {
  calls.push_back("WTSEnumerateSessions " + std::to_string(version));
  auto* copy = Allocate<WTS_SESSION_INFOW>(sessionList.size() + 1);
  std::memcpy(copy, sessionList.data(), sizeof(WTS_SESSION_INFOW) * sessionList.size());
  *list = copy;
  *count = static_cast<DWORD>(sessionList.size());
  return TRUE;
}

BOOL WINAPI FakeSendMessage(HANDLE, DWORD session, LPWSTR title, DWORD titleBytes,
                            LPWSTR message, DWORD messageBytes, DWORD style, DWORD timeout,
                            DWORD* response, BOOL wait) {
  calls.push_back("WTSSendMessage " + std::to_string(session) + " style " +
                  std::to_string(style) + " timeout " + std::to_string(timeout) +
                  (wait ? " wait" : " nowait") + (response ? "" : " noresponse"));
  texts.push_back(std::wstring(title, titleBytes / 2));
  texts.push_back(std::wstring(message, messageBytes / 2));
  if (session == 2 && sendToSession2Error != 0) {
    SetLastError(sendToSession2Error);
    return FALSE;
  }
  return TRUE;
}

void WINAPI FakeFreeMemory(PVOID memory) {
  ++frees;
  calls.push_back("WTSFreeMemory");
  ::operator delete(memory);
}

class Win32SessionMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    texts.clear();
    frees = 0;
    wkstaStatus = NERR_Success;
    sendToSession2Error = 0;
    sessionList.clear();
  }
  std::unique_ptr<platform::SessionMessages> messages = platform::win32::MakeSessionMessages(
      platform::win32::MessageCalls{FakeWkstaGetInfo, FakeMessageBufferSend, FakeSessionEnum,
                                    FakeApiBufferFree, FakeEnumerateSessions, FakeSendMessage,
                                    FakeFreeMemory});
};

TEST_F(Win32SessionMessages, ComputerNameAndTheMessengerService) {
  std::string name;
  EXPECT_EQ(0, messages->ComputerName(&name));
  EXPECT_EQ("UPSHOST", name);
  wkstaStatus = ERROR_ACCESS_DENIED;
  EXPECT_EQ(ERROR_ACCESS_DENIED, messages->ComputerName(&name));
  EXPECT_EQ("", name);

  // Sent as UTF-16 with its length in bytes, from the local server, without a sender name.
  EXPECT_EQ(NERR_NameNotFound, messages->SendToName("UPSHOST", "停電 100%"));
  EXPECT_EQ((std::vector<std::string>{"NetWkstaGetInfo local 100", "NetApiBufferFree",
                                      "NetWkstaGetInfo local 100",
                                      "NetMessageBufferSend local nofrom 14"}),
            calls);
  EXPECT_EQ((std::vector<std::wstring>{L"UPSHOST", L"停電 100%"}), texts);
  EXPECT_EQ(1, frees);
}

TEST_F(Win32SessionMessages, NetworkSessionsAreAskedWithoutALimitAndCarryTheResumeValue) {
  std::uint32_t resume = 0;
  const platform::NetSessionBatch batch = messages->NextSessions(&resume);
  EXPECT_EQ(ERROR_MORE_DATA, batch.status);
  ASSERT_EQ(1u, batch.entries.size());
  EXPECT_EQ("HOSTB", batch.entries[0].client);
  EXPECT_EQ("tanaka", batch.entries[0].user);
  EXPECT_EQ(77u, resume);
  EXPECT_EQ((std::vector<std::string>{"NetSessionEnum 1 nolimit 0", "NetApiBufferFree"}), calls);
}

// Each active session gets a box without a wait for the answer; the others none. A session
// that refuses is reported with the system's error.
TEST_F(Win32SessionMessages, EachActiveLocalSessionGetsTheTextWithoutAWait) {
  static wchar_t station[] = L"Console";
  sessionList = {{0, station, WTSDisconnected}, {1, station, WTSActive}, {2, station, WTSActive},
                 {3, station, WTSListen}};
  sendToSession2Error = ERROR_FILE_NOT_FOUND;
  const std::vector<platform::LocalDelivery> deliveries =
      messages->DeliverLocally("VoltSentry（UPSHOST）", "停電が発生しました。");
  ASSERT_EQ(2u, deliveries.size());
  EXPECT_EQ("session 1", deliveries[0].where);
  EXPECT_EQ(0, deliveries[0].error);
  EXPECT_EQ("session 2", deliveries[1].where);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, deliveries[1].error);
  const std::string box = " style " + std::to_string(MB_OK | MB_ICONINFORMATION) +
                          " timeout 0 nowait";
  EXPECT_EQ((std::vector<std::string>{"WTSEnumerateSessions 1", "WTSSendMessage 1" + box,
                                      "WTSSendMessage 2" + box, "WTSFreeMemory"}),
            calls);
  EXPECT_EQ((std::vector<std::wstring>{L"VoltSentry（UPSHOST）", L"停電が発生しました。",
                                       L"VoltSentry（UPSHOST）", L"停電が発生しました。"}),
            texts);
  EXPECT_EQ(1, frees);
}

}  // namespace
