// The exchange and the one-variable get against a responder of the test's own:
// foreign and stale replies, silence, a stream of strays, the caller's value area,
// and the reply wait that all exchanges share. One second of the wait lasts a tenth of
// one here.
#include "one_variable_get.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "pdu_exchange.h"
#include "snmp_messages.h"
#include "snmp_pdu.h"
#include "snmp_responder.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

// The first reply wait (five seconds) is half a real one: a responder's thread that a
// busy machine holds back still answers within it.
constexpr int32_t kWaitSecondMs = 100;
const SnmpBytes kSysDescrOID = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};

SnmpBytes Text(const std::string& text) { return TlvBytes(0x04, SnmpBytes(text.begin(), text.end())); }

// The reply to a request, with the ID moved by `shift`.
SnmpBytes Answer(const SnmpBytes& request, const SnmpBytes& value, int shift = 0) {
  SnmpReply reply;
  reply.id = ParsedRequest(request).id + shift;
  reply.varBinds = {VarBindBytes(RequestOIDfield(request), value)};
  return ResponseBytes(reply);
}

class OneVariableGetTest : public ::testing::Test {
 protected:
  OneVariableGetTest() {
    zevp::SetPDUwaitSecondForTests(kWaitSecondMs);
    zevp::PresetPDUexchangeStatistics({5, 25, 50, 0, 0});
  }
  ~OneVariableGetTest() override { zevp::SetPDUwaitSecondForTests(0); }

  int get(const SnmpResponder& responder, int acceptAny = 0, char** value = nullptr, int32_t size = 0) {
    int32_t oidLength = static_cast<int32_t>(kSysDescrOID.size());
    char* own = nullptr;
    char** into = value != nullptr ? value : &own;
    int tag = ZEVP_RetrieveOneMIBvariable(client_.fd(), buffer_, &responder.address(), "public", &id_, &status_,
                                          &oidLength, reinterpret_cast<const char*>(kSysDescrOID.data()),
                                          &valueLength_, into, size, acceptAny);
    if (value == nullptr) {
      got_ = own != nullptr ? std::string(own, static_cast<size_t>(valueLength_)) : "";
      ZEV0_FreeStorage(&own);
    }
    return tag;
  }

  ClientSocket client_;
  char buffer_[ZEVP_SNMP_BUFFER_SIZE] = {};
  int32_t id_ = 100;
  int32_t status_ = 0;
  int32_t valueLength_ = -1;
  std::string got_;
};

TEST_F(OneVariableGetTest, AReplyFromAnotherAddressCountsOnlyWithAcceptAnySource) {
  SnmpResponder responder([](const SnmpBytes& request) {
    return std::vector<ScriptedReply>{{Answer(request, Text("elsewhere")), true}};
  });
  TraceCapture capture("*=0x90");
  EXPECT_EQ(get(responder), 0);
  EXPECT_TRUE(capture.contains("Unexpected agent response ignored"));
  EXPECT_EQ(get(responder, 1), 0x04);
  EXPECT_EQ(got_, "elsewhere");
  EXPECT_EQ(id_, 102);
}

TEST_F(OneVariableGetTest, StaleRepliesAreReadPastWithoutAResendAndOnlyFourTimes) {
  const struct {
    const char* what;
    int stale;
    int lastShift;
    int tag;
  } cases[] = {
      {"a stale reply, then the right one", 1, 0, 0x04},
      {"four stale replies, then the right one", 4, 0, 0x04},
      {"five stale replies", 5, 0, 0},
      {"a newer ID", 0, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SnmpResponder responder([&](const SnmpBytes& request) {
      std::vector<ScriptedReply> replies;
      for (int n = c.stale; n > 0; --n) replies.push_back({Answer(request, Text("old"), -n)});
      replies.push_back({Answer(request, Text("now"), c.lastShift)});
      return replies;
    });
    EXPECT_EQ(get(responder), c.tag);
    if (c.tag != 0) {
      EXPECT_EQ(got_, "now");
    }
    EXPECT_EQ(responder.requests(), 1) << "nothing is sent again";
  }
}

TEST_F(OneVariableGetTest, ASilentAgentOrAnErrorStatusGivesNothingAndLeavesTheValueAlone) {
  SnmpResponder silent([](const SnmpBytes&) { return std::vector<ScriptedReply>{}; });
  SnmpResponder refusing([](const SnmpBytes& request) {
    SnmpReply reply;
    reply.id = ParsedRequest(request).id;
    reply.status = 2;
    reply.index = 1;
    reply.varBinds = {VarBindBytes(RequestOIDfield(request), {0x05, 0x00})};
    return std::vector<ScriptedReply>{{ResponseBytes(reply)}};
  });
  char area[8] = "kept";
  char* value = area;
  EXPECT_EQ(get(silent, 0, &value, sizeof area), 0);
  EXPECT_EQ(get(refusing, 0, &value, sizeof area), 0);
  EXPECT_EQ(status_, 2);
  EXPECT_EQ(value, area);
  EXPECT_STREQ(area, "kept");
}

TEST_F(OneVariableGetTest, AStreamOfStrayDatagramsDoesNotHoldTheGet) {
  SnmpResponder responder([](const SnmpBytes& request) {
    std::vector<ScriptedReply> strays;
    for (int n = 0; n < 200; ++n) strays.push_back({Answer(request, Text("stray")), true, 5});
    return strays;
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(get(responder), 0);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(5 * kWaitSecondMs * 6)) << "the wait runs from the send";
}

TEST_F(OneVariableGetTest, TheCallersAreaGetsTheValueCutAndTerminated) {
  SnmpResponder responder([](const SnmpBytes& request) {
    return std::vector<ScriptedReply>{{Answer(request, Text("hello world"))}};
  });
  char area[6];
  std::memset(area, 'x', sizeof area);
  char* value = area;
  EXPECT_EQ(get(responder, 0, &value, sizeof area), 0x04);
  EXPECT_STREQ(area, "hello");
  EXPECT_EQ(valueLength_, 5);
  EXPECT_EQ(get(responder), 0x04);
  EXPECT_EQ(got_, "hello world");
  EXPECT_EQ(valueLength_, 11);
}

// snmpd refuses to hold a zero byte in its writable texts, so the responder sends one.
TEST_F(OneVariableGetTest, ATextWithAZeroByteComesAsHexAndAnEmptyValueSetsTheValuePointerToNull) {
  SnmpResponder binary([](const SnmpBytes& request) {
    return std::vector<ScriptedReply>{{Answer(request, {0x04, 0x03, 'a', 0x00, 'b'})}};
  });
  EXPECT_EQ(get(binary), 0x04);
  EXPECT_EQ(got_, "610062");
  EXPECT_EQ(valueLength_, 6);
  SnmpResponder responder([](const SnmpBytes& request) {
    return std::vector<ScriptedReply>{{Answer(request, {0x04, 0x00})}};
  });
  char area[4] = "old";
  char* value = area;
  EXPECT_EQ(get(responder, 0, &value, sizeof area), 0x04);
  EXPECT_EQ(value, nullptr);
  EXPECT_EQ(valueLength_, 0);
}

// Receive-only mode: nothing sent or counted, and five seconds more of wait.
TEST_F(OneVariableGetTest, ReceiveOnlySendsAndCountsNothingAndWaitsLonger) {
  SnmpResponder responder([](const SnmpBytes&) { return std::vector<ScriptedReply>{}; });
  zevp::PresetPDUexchangeStatistics({1, 25, 50, 7, 3});
  TraceCapture capture("*=0x90");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ZEVP_SNMPsendAndReceivePDU(client_.fd(), buffer_, 40, sizeof buffer_, &responder.address(), 1, 0), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6 * kWaitSecondMs));
  EXPECT_TRUE(capture.contains("Waiting 6 seconds for the response of 127.0.0.1"));
  EXPECT_TRUE(capture.contains(">>>>> Agent response wait select timed out"));
  EXPECT_EQ(responder.requests(), 0);
  zevp::PDUexchangeStatistics after = zevp::CurrentPDUexchangeStatistics();
  EXPECT_EQ(after.sendCount, 7);
  EXPECT_EQ(after.receiveCount, 3);
  EXPECT_EQ(ZEVP_SNMPsendAndReceivePDU(client_.fd(), buffer_, 40, sizeof buffer_, &responder.address(), 0, 0), 0);
  EXPECT_TRUE(capture.contains("Waiting 1 seconds for the response of 127.0.0.1"));
  EXPECT_EQ(zevp::CurrentPDUexchangeStatistics().sendCount, 8);
}

// The shared wait is judged at a time-out once enough requests went out.
TEST_F(OneVariableGetTest, TheSharedWaitGrowsAtATimeOutWhenFewerThanHalfWereAnswered) {
  SnmpResponder silent([](const SnmpBytes&) { return std::vector<ScriptedReply>{}; });
  const struct {
    const char* what;
    zevp::PDUexchangeStatistics before;
    zevp::PDUexchangeStatistics after;
    bool raised;
  } cases[] = {
      {"50 sent, 25 answered", {5, 25, 50, 50, 25}, {6, 25, 50, 0, 0}, true},
      {"50 sent, 26 answered", {5, 25, 50, 50, 26}, {5, 25, 50, 0, 0}, false},
      {"no answer at all", {5, 25, 50, 80, 0}, {5, 25, 50, 80, 0}, false},
      {"fewer sent than judged", {5, 25, 50, 49, 1}, {5, 25, 50, 49, 1}, false},
      {"at the ceiling", {25, 25, 50, 60, 10}, {25, 25, 50, 0, 0}, false},
  };
  zevp::SetPDUwaitSecondForTests(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    zevp::PresetPDUexchangeStatistics(c.before);
    TraceCapture capture("*=0x80");
    EXPECT_EQ(ZEVP_SNMPsendAndReceivePDU(client_.fd(), buffer_, 40, sizeof buffer_, &silent.address(), 1, 0), 0);
    zevp::PDUexchangeStatistics after = zevp::CurrentPDUexchangeStatistics();
    EXPECT_EQ(after.sendPDUwait, c.after.sendPDUwait);
    EXPECT_EQ(after.sendCount, c.after.sendCount);
    EXPECT_EQ(after.receiveCount, c.after.receiveCount);
    EXPECT_EQ(capture.contains("SNMP send PDU request wait increased to 6"), c.raised);
  }
}

}  // namespace
