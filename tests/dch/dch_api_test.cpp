// The exported channel functions against a scripted DCH server on loopback: single calls on
// temporary clients that share a pool of two UDP sockets (a third caller waits for one given
// back, a late reply never reaches the next borrower), the read time-out of action data, and
// the standing waits through their handles, cancelled from another thread. This program has
// no data-provider engine, so registering fails.
#include "dch/dch_api.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "dch/dch_client.h"
#include "dch_messages.h"
#include "scripted_dch.h"
#include "sock_test_support.h"
#include "trace_capture.h"
#include "zev/action_codes.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr unsigned kWatchdogSeconds = 10;

class DCHapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dch.serving());
    dch.reset();
    DCH_api_init();
    alarm(kWatchdogSeconds);  // a reply that never comes must not hang the run
  }
  void TearDown() override { alarm(0); }

  // A data request of one attribute, formatted through the exported function.
  char* formattedRow() {
    char* work = nullptr;
    long size = 0;
    long status = -1;
    EXPECT_EQ(dp_formatData(&status, &work, &size, "NAME", "abc", 3, 'D'), 0);
    EXPECT_EQ(status, 0);
    return work;
  }

  ScriptedDCH& dch = TheScriptedDCH(2);
};

TEST_F(DCHapiTest, SingleCallsReachTheServerAndReportItsAnswer) {
  long status = -1;
  long handle = 0;
  dch.answer(StatusReplyWithHandle(0, 812));
  EXPECT_EQ(dp_online(&status, &handle, "APPL", "GROUP", "src"), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(handle, 812);

  char* work = formattedRow();
  dch.answer(StatusReply(0));
  EXPECT_EQ(dp_data(&status, handle, DCH_SingleRow, &work), 0);
  EXPECT_EQ(work, nullptr);

  dch.answer(StatusReply(14));
  EXPECT_EQ(dp_offline(&status, handle), 0);
  EXPECT_EQ(status, 14);
  dch.answer(StatusReply(0));
  EXPECT_EQ(dp_unregister(&status, "APPL"), 0);

  EXPECT_EQ(dc_provideAction(3, "owner", "host1:AGENT", "src:APPL00", "RESTART", 7, nullptr), 0);
  ASSERT_TRUE(dch.awaitRequests(5));  // it has no answer: the next one is not its
  dch.answer(StatusReply(2));
  EXPECT_EQ(dc_waitForActionResults(7), 2);

  ASSERT_TRUE(dch.awaitRequests(6));
  const uint16_t expected[] = {DCH_dp_online,        DCH_dp_data,         DCH_dp_offline,
                               DCH_dp_unregister,    DCH_dc_provideAction, DCH_dc_waitForActionResults};
  for (size_t index = 0; index < 6; ++index) EXPECT_EQ(RequestCode(dch.request(index)), expected[index]) << index;
}

TEST_F(DCHapiTest, RegisterFailsWithoutTheEngineAndUnfinishedVerbsSendNothing) {
  long status = 0;
  TraceCapture capture;
  EXPECT_EQ(dp_register(&status, "APPL"), 1);
  EXPECT_EQ(status, DCHCLIENT_STATUS_REFUSED);
  EXPECT_TRUE(capture.contains("Error: this program has no register-body builder"));
  status = -1;
  EXPECT_EQ(dp_cancel(&status, 1), 0);
  EXPECT_EQ(status, 0);
  dp_waitForAction(1);
  dp_provideActionResults(1, 0);
  DCH_shutdown(0);
  ASSERT_EQ(dc_provideAction(3, "owner", "node", "sub", "MARKER", 1, nullptr), 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_EQ(RequestCode(dch.request(0)), DCH_dc_provideAction);
}

TEST_F(DCHapiTest, ProvideActionReportsARequestThatWasNotSent) {
  const std::string longParms(5000, 'p');
  TraceCapture capture;
  EXPECT_EQ(dc_provideAction(3, "owner", "node", "sub", "RESTART", 7, longParms.c_str()), 1);
  EXPECT_TRUE(capture.contains("Error: dc_provideAction failed."));
}

TEST_F(DCHapiTest, GetRequestsHandBackTheTextOrNothing) {
  const struct {
    const char* title;
    int (*function)(int*, char**, const char*, short);
    const char* failed;
  } cases[] = {
      {"applications", dc_getApplications, "Error: dc_getApplications failed."},
      {"attributes", dc_getApplAttributes, "Error: dc_getApplAttributes failed."},
      {"help", dc_getApplHelp, "Error: dc_getApplHelp failed."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    dch.reset();
    dch.answer(Response("APPL text"));
    int length = -1;
    char* text = nullptr;
    EXPECT_EQ(c.function(&length, &text, "APPL", 1), 0);
    EXPECT_EQ(length, 9);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "APPL text");
    free(text);

    // An empty text is no text: its block is freed (the sanitizer sees no leak).
    dch.answer(Response(""));
    TraceCapture capture;
    text = reinterpret_cast<char*>(&length);  // whatever the caller held
    EXPECT_EQ(c.function(&length, &text, "APPL", 1), 1);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_TRUE(capture.contains(c.failed));
  }
}

// Three callers, two pooled sockets: the third waits until one is given back and gets that one.
TEST_F(DCHapiTest, AThirdCallerWaitsForASocketGivenBack) {
  dch.answer({Response("first")}, true);
  dch.answer({Response("second")}, true);
  dch.answer(Response("third"));
  struct Call {
    std::thread thread;
    std::atomic<bool> done{false};
    int result = -1;
    int length = 0;
    char* text = nullptr;
    void start() {
      thread = std::thread([this] {
        result = dc_getApplications(&length, &text, "APPL", 2);
        done = true;
      });
    }
  } calls[3];
  calls[0].start();
  calls[1].start();
  ASSERT_TRUE(dch.awaitRequests(2));
  calls[2].start();
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(calls[2].done.load());
  EXPECT_EQ(dch.requestCount(), 2u);

  dch.release(0);
  EXPECT_TRUE(dch.awaitRequests(3));
  EXPECT_EQ(dch.senderPort(2), dch.senderPort(0));
  EXPECT_NE(dch.senderPort(1), dch.senderPort(0));
  dch.release(1);
  std::set<std::string> texts;
  for (Call& call : calls) {
    call.thread.join();
    EXPECT_EQ(call.result, 0);
    if (call.text != nullptr) texts.insert(call.text);
    free(call.text);
  }
  EXPECT_EQ(texts, (std::set<std::string>{"first", "second", "third"}));
}

TEST_F(DCHapiTest, ActionDataGivesUpAfterItsReadTimeoutWhenTheServerIsSilent) {
  dch.answer({StatusReply(0)}, true);  // never released
  char* work = formattedRow();
  long status = 0;
  steady_clock::time_point start = steady_clock::now();
  EXPECT_EQ(dp_actionData(&status, 9, DCH_SingleRow, &work, 1, 0), 1);
  auto waited = std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
  EXPECT_EQ(status, DCHCLIENT_STATUS_NO_REPLY);
  EXPECT_EQ(work, nullptr);
  EXPECT_GE(waited.count(), 900);
  EXPECT_LT(waited.count(), 1800);
}

// The late reply comes only after the next caller has sent its request on the pool's
// first socket, so no emptying of the socket at the borrow can catch it: the socket
// given up on was replaced by one on another port.
TEST_F(DCHapiTest, ALateReplyNeverReachesTheNextCaller) {
  dch.answer({StatusReply(99)}, true);
  dch.answer({StatusReply(0)}, true);
  char* work = formattedRow();
  long status = 0;
  ASSERT_EQ(dp_actionData(&status, 9, DCH_SingleRow, &work, 1, 0), 1);
  ASSERT_EQ(status, DCHCLIENT_STATUS_NO_REPLY);
  long nextStatus = -1;
  std::thread next([&] { EXPECT_EQ(dp_offline(&nextStatus, 9), 0); });
  ASSERT_TRUE(dch.awaitRequests(2));
  dch.release(0);  // the answer comes after its caller gave up
  dch.release(1);
  next.join();
  EXPECT_EQ(nextStatus, 0);
  EXPECT_NE(dch.senderPort(1), dch.senderPort(0));
}

// A wait for action results that finds no outcome yet parks the caller's socket at the
// server, which sends it every later result: the socket leaves the pool, so that a result
// coming while the next caller waits is never taken for that caller's reply.
TEST_F(DCHapiTest, AParkedWaitForActionResultsTakesItsSocketOutOfThePool) {
  dch.answer(StatusReply(ZEV_ACTION_STATUS_UNKNOWN));
  ASSERT_EQ(dc_waitForActionResults(42), ZEV_ACTION_STATUS_UNKNOWN);
  dch.answer({StatusReply(3)}, true);
  long status = -1;
  std::thread next([&] { EXPECT_EQ(dp_offline(&status, 9), 0); });
  ASSERT_TRUE(dch.awaitRequests(2));
  dch.sendTo(0, StatusReply(0));  // a result, sent to the parked waiter
  dch.release(1);
  next.join();
  EXPECT_EQ(status, 3);
  EXPECT_NE(dch.senderPort(1), dch.senderPort(0));
}

TEST_F(DCHapiTest, NullHandlesAreRefused) {
  char buffer[16];
  EXPECT_EQ(dc_waitOnData(nullptr, buffer, sizeof buffer), 1);
  EXPECT_EQ(dc_waitOnDataCancel(nullptr), 1);
  EXPECT_EQ(dc_waitOnDataDestroy(nullptr), 1);
  EXPECT_EQ(dc_waitForDPStatus(nullptr), nullptr);
  EXPECT_EQ(dc_waitForDPStatusDestroy(nullptr), 1);
  EXPECT_EQ(dc_waitOnDataInitialize(nullptr, "GROUP"), nullptr);
}

TEST_F(DCHapiTest, AWaitForRowsLivesFromInitializeToDestroy) {
  DCH_api_init();  // a second call changes nothing
  DCHclient* handle = dc_waitOnDataInitialize("APPL", "GROUP");
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(dch.awaitRequests(1));
  const std::string row = RowMessage("src", {"one", "two"});
  dch.sendTo(0, row);
  char buffer[256] = {};
  EXPECT_EQ(dc_waitOnData(handle, buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer, row.size()), row);

  std::atomic<int> result{99};
  std::thread waiter([&] { result = dc_waitOnData(handle, buffer, sizeof buffer); });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(result.load(), 99);
  EXPECT_EQ(dc_waitOnDataCancel(handle), 0);
  waiter.join();
  EXPECT_EQ(result.load(), -1);
  EXPECT_EQ(std::string(buffer, DCH_INTERRUPT_SIZE), InterruptMessage());

  EXPECT_EQ(dc_waitOnDataDestroy(handle), 0);
  ASSERT_TRUE(dch.awaitRequests(2));
  EXPECT_EQ(dch.request(1),
            Built([](char* b, size_t n) { return DCH_BuildWaitOnData(b, n, "APPL", "GROUP", DCH_WAIT_REMOVE); }));
}

TEST_F(DCHapiTest, AWaitForStatusGivesTheNoticeText) {
  DCHclient* handle = dc_waitForDPStatusInitialize();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(dch.awaitRequests(1));
  dch.sendTo(0, StatusNotice("APPL", "GROUP", "host1", DCH_dp_online));
  const char* text = dc_waitForDPStatus(handle);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "APPL,GROUP,host1,4117");
  EXPECT_EQ(dc_waitForDPStatusDestroy(handle), 0);
  ASSERT_TRUE(dch.awaitRequests(2));
  EXPECT_EQ(RequestCode(dch.request(1)), DCH_dc_waitForDPStatus);
}

// Regression: the failed wait's null text was copied into the library's buffer.
TEST_F(DCHapiTest, AFailedWaitForStatusGivesNull) {
  DCHclient* handle = dc_waitForDPStatusInitialize();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(dch.awaitRequests(1));
  dch.sendTo(0, StatusReply(0));
  EXPECT_EQ(dc_waitForDPStatus(handle), nullptr);
  EXPECT_EQ(dc_waitForDPStatus(handle), nullptr);
  EXPECT_EQ(dc_waitForDPStatusDestroy(handle), 1);  // the failed handle sends nothing more
}

}  // namespace
