// The direct path against the agent's DCH server in its host program on loopback:
// records split, filtered and sent by ZEVP_MoveDataToDCH reach a consumer parked
// with dc_waitOnData, with their values at their declared widths. A stand-in plays
// the DCH client thread; as the DCH client routine does, it leaves a source Active
// once the agent took its row.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "dch_client_player.h"
#include "dch_requests.h"
#include "dch_road_fixture.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "loopback_engine.h"
#include "parsed_application.h"
#include "process_entry.h"
#include "record_paths.h"
#include "host_name_table.h"
#include "routine_overrides.h"
#include "source_entry.h"
#include "trace_capture.h"

namespace {

const std::vector<std::string> kMetafile = {
    "//APPL Dpt",     "//NAME Grp P 60", "//ATTRIBUTES ';'",  "Name D 8",
    "Cnt C 100000 +FILTER={NUMBER>(0,0)}", "Small G 100", "Addr D 16", "Host (IPADDRESSTONAME = Addr)"};

DCHclientPlayer* thePlayer = nullptr;

// The DCH client routine leaves a source Active after a data request that the
// agent took; the routine's stand-in does not, so the wait does it here. The
// derived value is cleared on the way, so that the row shows the one computed at send.
void QueueAndWaitAsTheClientRoutine(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (std::strcmp(attribute->AttrName, "Host") == 0) attribute->ActualValSize = 0;
  ZEVP_QueueAndWaitDCHstatus(anchor, caller, source);
  if (source->State == ZEVP_Output && thePlayer->status() == 0) ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
}

class DirectPathTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    UseLoopbackDCHhost();
    parsed_ = std::make_unique<ParsedApplication>(kMetafile);
    source_ = parsed_->source();
    ASSERT_NE(source_, nullptr);
    player_ = std::make_unique<DCHclientPlayer>(anchor());
    thePlayer = player_.get();
    overrides_.routines().queueAndWaitDCHstatus = QueueAndWaitAsTheClientRoutine;
    ASSERT_EQ(request(ZEVP_DoDPregister), 0);
    ASSERT_EQ(request(ZEVP_DoDPonline), 0);
    source_->State = ZEVP_Input;
  }
  void TearDown() override {
    player_.reset();
    thePlayer = nullptr;
    parsed_.reset();
    DCHroadTest::TearDown();
  }

  DPAB* anchor() const { return parsed_->anchor(); }
  int32_t request(void (*send)(SourceEntry*, DCHcomm*)) {
    player_->run([&](DCHcomm* comm) { send(source_, comm); });
    return player_->status();
  }
  int send(const std::string& text) {
    std::string record = text;
    return ZEVP_MoveDataToDCH(anchor(), source_, record.data(), static_cast<int32_t>(record.size()));
  }

  RoutineOverrides overrides_;
  std::unique_ptr<ParsedApplication> parsed_;
  SourceEntry* source_ = nullptr;
  std::unique_ptr<DCHclientPlayer> player_;
};

template <typename Number>
std::string Raw(Number number) {
  return std::string(reinterpret_cast<const char*>(&number), sizeof number);
}

// The next row at the consumer: its source name and values.
std::vector<std::string> NextRow(RowWaiter& waiter) {
  Row row;
  if (!ReadRow(waiter.next(kAnswerWaitMs), &row)) return {"<no row>"};
  std::vector<std::string> values = {row.sourceName};
  values.insert(values.end(), row.values.begin(), row.values.end());
  return values;
}

TEST_F(DirectPathTest, RowsReachAParkedConsumerAndFilteredRowsDoNot) {
  HostNameTable names(std::map<std::string, std::string>{{"10.1.2.3", "host-a.example"}});
  RowWaiter waiter("Dpt", "Grp");
  ASSERT_TRUE(waiter.parked());
  syncWithServer();

  EXPECT_EQ(send("abc;7;-3;10.1.2.3"), 1);
  EXPECT_EQ(source_->State, ZEVP_Input);
  EXPECT_EQ(NextRow(waiter), (std::vector<std::string>{"localhost", "abc", Raw<int32_t>(7), Raw<int16_t>(-3),
                                                       "10.1.2.3", "host-a.example"}));

  EXPECT_EQ(send("xyz;0;1;10.1.2.3"), 0) << "a count of 0 fails the filter";
  EXPECT_EQ(source_->State, ZEVP_Input);
  EXPECT_EQ(send("def;8;150;not-an-address"), 1);
  EXPECT_EQ(source_->State, ZEVP_Input);
  EXPECT_EQ(NextRow(waiter), (std::vector<std::string>{"localhost", "def", Raw<int32_t>(8), Raw<int16_t>(100),
                                                       "not-an-address", "not-an-address"}));
  EXPECT_EQ(source_->OwningTask, nullptr) << "the shared waiting entry is only lent";
}

TEST_F(DirectPathTest, ASourceWithAWaitingEntryOfItsOwnWaitsOnIt) {
  HostNameTable names(std::map<std::string, std::string>{});
  RowWaiter waiter("Dpt", "Grp");
  ASSERT_TRUE(waiter.parked());
  syncWithServer();
  ProcessEntry* own = ZEVP_InitializeProcessEntry(anchor());
  source_->OwningTask = own;
  BSV1_GetLock(&anchor()->statPELock);  // the shared entry is not to be needed
  EXPECT_EQ(send("own;1;2;h3"), 1);
  BSV1_ReleaseLock(&anchor()->statPELock);
  EXPECT_EQ(source_->OwningTask, own);
  EXPECT_EQ(NextRow(waiter), (std::vector<std::string>{"localhost", "own", Raw<int32_t>(1), Raw<int16_t>(2), "h3", "h3"}));
  source_->OwningTask = nullptr;
  ZEVP_DestroyProcessEntry(own);
}

TEST_F(DirectPathTest, NoRowWithoutSourceOrWhenNothingLoaded) {
  TraceCapture trace("*=0x80 record_paths=0x90");
  EXPECT_EQ(ZEVP_MoveDataToDCH(anchor(), nullptr, nullptr, 0), 0);
  EXPECT_TRUE(trace.contains("No SourceEntry pointer provided for DP Type: APIS")) << trace.take();
  EXPECT_EQ(send("no delimiter"), 0);
  EXPECT_EQ(source_->State, ZEVP_Input);
}

}  // namespace
