// TCP sessions against listeners of the test: opening, a peer that is not there, one
// that closes the connection, and datagram requests after the session ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "accepting_listener.h"
#include "api_test_settings.h"
#include "free_port.h"
#include "run_in_child.h"
#include "silent_listener.h"
#include "zevpapi/dp_api.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child that hangs is ended by this alarm, which fails its test.
constexpr unsigned kChildAlarmSeconds = 10;
constexpr int kTakeWaitMs = 5000;

void PointClientAt(unsigned short port) {
  UseLoopbackSettings();
  setenv("ZEVP_API_DPAPI_PORT", std::to_string(port).c_str(), 1);
}

int SendRecord(APIhandle* handle, const char* value) {
  void* data = nullptr;
  EXPECT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
  EXPECT_EQ(dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr), 1);
  int status = -1;
  dp_InputData(data, &status);
  dp_FreeBuffer(data, nullptr);
  return status;
}

TEST(SessionTest, AHandleHoldsOneSessionAtATime) {
  SilentListener listener;
  ASSERT_TRUE(listener.listening());
  PointClientAt(listener.port());
  APIhandle* handle = dp_AllocateHandle(nullptr);
  int status = -1;
  EXPECT_EQ(dp_OpenSession(handle, &status), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(dp_OpenSession(handle, &status), 0);
  EXPECT_EQ(status, 24);
  char text[256];
  dp_ShowMessage(status, text, sizeof text);
  EXPECT_STREQ(text, "ZEVPA24E dp_OpenSession input handle contains active connection");
  EXPECT_EQ(dp_CloseSession(handle, &status), 1);
  EXPECT_EQ(dp_OpenSession(handle, &status), 1) << "a closed session may be opened again";
  dp_FreeHandle(handle, nullptr);

  EXPECT_EQ(dp_OpenSession(reinterpret_cast<APIhandle*>(text), &status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(dp_CloseSession(nullptr, &status), 0);
  EXPECT_EQ(status, 1);
}

// On loopback a refused connection shows only once the connect has ended: the socket
// is writable then too, yet not connected.
TEST(SessionTest, NobodyListeningFailsTheOpenAtOnce) {
  unsigned short port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  PointClientAt(port);
  APIhandle* handle = dp_AllocateHandle(nullptr);
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt == 0 ? "first" : "again: the failed session left nothing open");
    int status = -1;
    auto start = Clock::now();
    EXPECT_EQ(dp_OpenSession(handle, &status), 0);
    EXPECT_EQ(status, 25);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  }
  dp_FreeHandle(handle, nullptr);
}

// The data provider ends the connection: the reply that does not come is a failed
// receive, and a send on the dead connection fails without a signal ending the program.
TEST(SessionTest, AConnectionThePeerClosedFailsWithoutASignal) {
  AcceptingListener listener;
  ASSERT_TRUE(listener.listening());
  PointClientAt(listener.port());
  APIhandle* handle = dp_AllocateHandle(nullptr);
  ASSERT_EQ(dp_OpenSession(handle, nullptr), 1);
  int connection = listener.take(kTakeWaitMs);
  ASSERT_GE(connection, 0);
  close(connection);
  EXPECT_EQ(SendRecord(handle, "a"), 94);
  EXPECT_EQ(SendRecord(handle, "b"), 72);
  dp_FreeHandle(handle, nullptr);
}

// After the session a request goes as a datagram again and waits no longer than the
// request wait (1 second here): nobody answers on the listener's port for UDP.
TEST(SessionTest, EndingTheSessionEndsConnectedMode) {
  SilentListener listener;
  ASSERT_TRUE(listener.listening());
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "dp_ResetHandle" : "dp_CloseSession");
    RunInChild([&] {
      alarm(kChildAlarmSeconds);
      PointClientAt(listener.port());
      UseShortWaits();
      APIhandle* handle = dp_AllocateHandle(nullptr);
      ASSERT_EQ(dp_OpenSession(handle, nullptr), 1);
      ASSERT_EQ(reset ? dp_ResetHandle(handle, nullptr) : dp_CloseSession(handle, nullptr), 1);
      int status = -1;
      EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 0);
      EXPECT_EQ(status, 11);
      dp_FreeHandle(handle, nullptr);
    });
  }
}

}  // namespace
