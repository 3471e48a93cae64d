// The requests of a MIB table walk against a scripted agent of the test's own: the
// row step's GetNext and a column's Get, each reply as the agent sends it (well
// formed or not), as tables of cases. One second of the reply wait lasts a tenth of
// one here, so a silent agent costs little.
#include "mib_row_step.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "pdu_exchange.h"
#include "snmp_messages.h"
#include "snmp_pdu.h"
#include "snmp_responder.h"

namespace {

// The first reply wait (five seconds) is half a real one: a responder's thread that a
// busy machine holds back still answers within it.
constexpr int32_t kWaitSecondMs = 100;
constexpr char kColumn[] = "1.3.6.1.2.1.2.2.1.2";  // ifDescr

SnmpBytes Reply(const SnmpBytes& request, const SnmpBytes& oidField, const SnmpBytes& value, int shift = 0,
                int status = 0) {
  SnmpReply reply;
  reply.id = ParsedRequest(request).id + shift;
  reply.status = status;
  reply.index = status != 0 ? 1 : 0;
  reply.varBinds = {VarBindBytes(oidField, value)};
  return ResponseBytes(reply);
}

// `stale` replies to an older request first, then the reply.
std::vector<ScriptedReply> AfterStale(const SnmpBytes& request, int stale, const SnmpBytes& reply) {
  std::vector<ScriptedReply> replies;
  for (int i = 0; i < stale; ++i)
    replies.push_back({Reply(request, OIDfieldBytes("1.3.6.1.2.1.1.1.0"), TextBytes("old"), -1)});
  replies.push_back({reply});
  return replies;
}

// A hand-made attribute of an SNMP table: D 32 with the column's OID text.
class ColumnAttribute {
 public:
  ColumnAttribute() : storage_(static_cast<size_t>(ZEVP_AttributeEntrySize(32))) {
    attribute_ = reinterpret_cast<AttributeEntry*>(storage_.data());
    std::strcpy(attribute_->AttrName, "ifDescr");
    attribute_->AttrType = 'D';
    attribute_->MaxValSize = 32;
    attribute_->AttrOIDstring = oidText_;
  }
  AttributeEntry* get() { return attribute_; }
  std::string value() const { return std::string(attribute_->Value(), attribute_->ActualValSize); }

 private:
  std::vector<char> storage_;
  char oidText_[sizeof kColumn] = "1.3.6.1.2.1.2.2.1.2";
  AttributeEntry* attribute_;
};

class MibRowStepTest : public ::testing::Test {
 protected:
  MibRowStepTest() {
    zevp::SetPDUwaitSecondForTests(kWaitSecondMs);
    zevp::PresetPDUexchangeStatistics({5, 25, 50, 0, 0});
  }
  ~MibRowStepTest() override { zevp::SetPDUwaitSecondForTests(0); }

  ClientSocket client_;
  char buffer_[ZEVP_SNMP_BUFFER_SIZE] = {};
  int32_t id_ = 10;
};

TEST_F(MibRowStepTest, TheRowStepFollowsTheColumnAndEndsWhereTheWalkMustEnd) {
  const std::string longInstance = [] {
    std::string text;
    for (int i = 0; i < 50; ++i) text += ".99999";
    return text;
  }();
  const struct Case {
    const char* what;
    SnmpResponder::Script script;
    int found;
    std::string instance;
  } cases[] = {
      {"the next row", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("eth1"))); }, 1, ".2"},
      {"a two-part instance", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(std::string(kColumn) + ".7.3"), TextBytes("x"))); }, 1, ".7.3"},
      {"four stale replies first", [](const SnmpBytes& r) { return AfterStale(r, 4, Reply(r, OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("eth1"))); }, 1, ".2"},
      {"five stale replies", [](const SnmpBytes& r) { return AfterStale(r, 5, Reply(r, OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("eth1"))); }, 0, ".1"},
      {"the next column", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes("1.3.6.1.2.1.2.2.1.3.1"), TextBytes("x"))); }, 0, ".1"},
      {"a column whose number begins alike", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes("1.3.6.1.2.1.2.2.1.20.1"), TextBytes("x"))); }, 0, ".1"},
      {"the instance asked, again", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(std::string(kColumn) + ".1"), TextBytes("x"))); }, 0, ".1"},
      {"an instance before it", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(std::string(kColumn) + ".0.5"), TextBytes("x"))); }, 0, ".1"},
      {"an instance over 256 characters", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(kColumn + longInstance), TextBytes("x"))); }, 0, ".1"},
      {"noSuchName at the end of the MIB", [](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(kColumn), TlvBytes(0x05, {}), 0, 2)); }, 0, ".1"},
      {"a truncated reply", [](const SnmpBytes& r) {
         SnmpBytes reply = Reply(r, OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("eth1"));
         reply.resize(reply.size() - 3);
         return AfterStale(r, 0, reply);
       }, 0, ".1"},
      {"a trap in place of the reply", [](const SnmpBytes& r) {
         SnmpReply trap;
         trap.id = ParsedRequest(r).id;
         trap.pduTag = 0xA4;
         trap.varBinds = {VarBindBytes(OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("x"))};
         return AfterStale(r, 0, ResponseBytes(trap));
       }, 0, ".1"},
      {"silence", [](const SnmpBytes&) { return std::vector<ScriptedReply>{}; }, 0, ".1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SnmpResponder agent(c.script);
    SnmpBytes oid = OIDfieldBytes(std::string(kColumn) + ".1");
    ++id_;
    int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer_, sizeof buffer_, ZEVP_SNMP_GETNEXT_REQUEST,
                                                 reinterpret_cast<const char*>(oid.data()),
                                                 static_cast<int32_t>(oid.size()), nullptr, 0, id_, "public");
    char instance[ZEVP_SNMP_INSTANCE_SIZE] = ".1";
    EXPECT_EQ(ZEVP_SNMPretrieveCurrentVarInstance(client_.fd(), buffer_, length, sizeof buffer_, instance, id_,
                                                  &agent.address(), kColumn),
              c.found);
    EXPECT_EQ(std::string(instance), c.instance);
    EXPECT_EQ(agent.requests(), 1) << "nothing is resent";
    EXPECT_EQ(std::string(buffer_, 8), std::string(8, '\0')) << "the buffer is cleared";
  }
}

TEST_F(MibRowStepTest, AColumnGetLoadsItsValueOrSaysHowTheRowGoesOn) {
  const SnmpBytes field = OIDfieldBytes(std::string(kColumn) + ".1");
  const struct Case {
    const char* what;
    SnmpResponder::Script script;
    ColumnOutcome outcome;
    int32_t loaded;
    std::string value;
  } cases[] = {
      {"a value", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, field, TextBytes("eth0"))); }, ColumnOutcome::Loaded, 1, "eth0"},
      {"four stale replies first", [&](const SnmpBytes& r) { return AfterStale(r, 4, Reply(r, field, TextBytes("eth0"))); }, ColumnOutcome::Loaded, 1, "eth0"},
      {"five stale replies: timed out", [&](const SnmpBytes& r) { return AfterStale(r, 5, Reply(r, field, TextBytes("eth0"))); }, ColumnOutcome::Empty, 0, ""},
      {"noSuchName", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, field, TlvBytes(0x05, {}), 0, 2)); }, ColumnOutcome::Empty, 0, ""},
      {"genErr", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, field, TlvBytes(0x05, {}), 0, 5)); }, ColumnOutcome::EndRow, 0, ""},
      {"an error status above the named ones", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, field, TlvBytes(0x05, {}), 0, 9)); }, ColumnOutcome::EndRow, 0, ""},
      {"the value of another OID", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, OIDfieldBytes(std::string(kColumn) + ".2"), TextBytes("eth1"))); }, ColumnOutcome::Loaded, 0, ""},
      {"a newer request ID", [&](const SnmpBytes& r) { return AfterStale(r, 0, Reply(r, field, TextBytes("eth0"), 1)); }, ColumnOutcome::Empty, 0, ""},
      {"a truncated reply", [&](const SnmpBytes& r) {
         SnmpBytes reply = Reply(r, field, TextBytes("eth0"));
         reply.resize(reply.size() / 2);
         return AfterStale(r, 0, reply);
       }, ColumnOutcome::Empty, 0, ""},
      {"silence", [](const SnmpBytes&) { return std::vector<ScriptedReply>{}; }, ColumnOutcome::Empty, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SnmpResponder agent(c.script);
    ColumnAttribute attribute;
    int32_t loaded = 0;
    EXPECT_EQ(ZEVP_SNMPgetColumnValue(client_.fd(), buffer_, &agent.address(), "public", &id_, attribute.get(), ".1",
                                      "127.0.0.1", &loaded),
              c.outcome);
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_EQ(attribute.value(), c.value);
    EXPECT_EQ(agent.requests(), 1) << "nothing is resent";
    EXPECT_EQ(RequestOIDfield(agent.lastRequest()), field);
  }
}

}  // namespace
