// The hand-over of actions to API and socket partners: which actions are local, the
// request text a partner fetches, the delivery and the posted result, and the
// worker's waits, each of which ends. A thread of the test plays the partner's
// server thread through the three hand-over calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "action_entry.h"
#include "action_hand_over.h"
#include "action_perform.h"
#include "action_worker.h"
#include "application_entry.h"
#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_work_queue.h"
#include "dp_log_recorder.h"
#include "hand_built_model.h"
#include "manual_clock.h"
#include "model_release.h"
#include "process_entry.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

namespace {

char* Text(const char* text) { return ZEVP_CopyActionText(text, static_cast<uint32_t>(std::strlen(text))); }

// An application APPL with group GRP on a bare anchor, whose partner sources accept
// action requests; released at the end.
class HandOverTest : public ::testing::Test {
 protected:
  HandOverTest() : application_(AddApplication(anchor_.get(), "APPL")), group_(AddTable(application_, "GRP")) {}
  ~HandOverTest() override { ZEVP_ReleaseApplResources(anchor_.get(), application_, 1); }

  SourceEntry* partner(int32_t resultWait = 30, char kind = 'B') {
    SourceEntry* source = AddSource(anchor_.get(), group_, kind);
    source->AcceptActionRequests = 1;
    source->ActionResultWait = resultWait;
    return source;
  }

  ActionEntry* action(int32_t type, const char* name, const char* parms, uint32_t id = 42) {
    ActionEntry* entry = ZEVP_AllocateActionEntry(anchor_.get());
    entry->ActionType = type;
    entry->ActionSourceNode = Text("node1:APPL00");
    entry->ActionOwner = Text("Sit");
    entry->ActionName = Text(name);
    entry->ActionParm = parms != nullptr ? Text(parms) : nullptr;
    entry->ActionID = id;
    entry->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
    return entry;
  }

  // Queued to the source as a worker queues it.
  static void queue(SourceEntry* source, ActionEntry* entry) {
    entry->RemoteState = ZEVP_REMOTE_QUEUED;
    source->RemoteActions = entry;
  }

  // Fetches the source's next request as its partner does, waiting for one to be queued.
  static std::string fetch(DPAB* anchor, SourceEntry* source) {
    char* text = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (text = ZEVP_CheckOutstandingActionRequest(anchor, source)) != nullptr; }));
    return text != nullptr ? text : "";
  }

  ManualClock clock_;
  BareAnchor anchor_;
  ApplicationEntry* application_;
  TableEntry* group_;
};

TEST_F(HandOverTest, OnlyAPartnerThatAcceptsRequestsIsHandedAnActionThatIsNoConsoleCommand) {
  struct Case {
    const char* what;
    char kind;
    int accepts;
    int builtIn;
    const char* name;
    int local;
  };
  const Case cases[] = {
      {"API partner that accepts requests", 'B', 1, 0, "restart", 0},
      {"socket partner that accepts requests", 'S', 1, 0, "restart", 0},
      {"API partner that does not", 'B', 0, 0, "restart", 1},
      {"a console command stays here", 'B', 1, 0, "DP_CONTROL", 1},
      {"a built-in source", 'B', 1, 1, "restart", 1},
      {"a file source", 'F', 1, 0, "restart", 1},
      {"an SNMP source", 'N', 1, 0, "restart", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SourceEntry* source = partner(30, c.kind == 'N' ? 'B' : c.kind);
    source->SourceType = c.kind;
    source->AcceptActionRequests = c.accepts;
    source->BuiltIn = c.builtIn;
    EXPECT_EQ(ZEVP_CheckIsLocalAction(source, action(ZEV_ACTION_AUTOMATION, c.name, nullptr)), c.local);
  }
}

TEST_F(HandOverTest, ThePartnerFetchesTheRequestTextOfItsAction) {
  struct Case {
    int32_t type;
    const char* name;
    const char* parms;
    const char* text;
  };
  const Case cases[] = {
      {ZEV_ACTION_RULE, "RULESTOP", "INTERVAL=60 ATTRIBUTES=(A EQ 1)", "42 FILTER(DELETE)"},
      {ZEV_ACTION_RULE, "RULESTART", "ATTRIBUTES=(A EQ 1)", "42 FILTER(ADD)PARM(ATTRIBUTES=(A EQ 1))"},
      {ZEV_ACTION_RULE, "RULESTART", nullptr, "42 FILTER(ADD)"},
      {ZEV_ACTION_AUTOMATION, "cmd", "p", "42 REQ(cmd)PARM(p)"},
      {ZEV_ACTION_AUTOMATION, "cmd", nullptr, "42 REQ(cmd)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SourceEntry* source = partner();
    ActionEntry* entry = action(c.type, c.name, c.parms);
    queue(source, entry);
    EXPECT_EQ(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), std::string(c.text));
    EXPECT_EQ(entry->RemoteState, ZEVP_REMOTE_FETCHED);
    EXPECT_EQ(entry->RequestTime, clock_.now().seconds);
    EXPECT_EQ(source->ActionHandOver, entry);
    EXPECT_EQ(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), nullptr) << "nothing else is queued";
  }
}

TEST_F(HandOverTest, TheFetchIsLoggedByTheKindOfAction) {
  DPlogRecorder log;
  ActionWorkerTaskEntry worker{};
  worker.LogActivity = 1;
  struct Case {
    int32_t type;
    const char* name;
    const char* parms;
    DPlogMessage message;
  };
  const Case cases[] = {
      {ZEV_ACTION_AUTOMATION, "cmd", nullptr, {64, {"Situation/Policy", "Sit", "cmd", "NONE", "node1:APPL00"}, true}},
      {ZEV_ACTION_RULE, "RULESTART", "P", {65, {"Sit", "node1:APPL00", "P"}, true}},
      {ZEV_ACTION_RULE, "RULESTOP", "P", {66, {"Sit", "node1:APPL00"}, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    SourceEntry* source = partner();
    ActionEntry* entry = action(c.type, c.name, c.parms);
    entry->WorkerTask = &worker;
    queue(source, entry);
    ASSERT_NE(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), nullptr);
    EXPECT_EQ(log.messages(), std::vector<DPlogMessage>{c.message});
  }
}

TEST_F(HandOverTest, ADeliveredActionAwaitsItsResultUnlessThePartnerSendsNone) {
  struct Case {
    const char* what;
    int32_t type;
    int32_t resultWait;
    int32_t state;
    const char* result;
  };
  const Case cases[] = {
      {"a partner that sends results", ZEV_ACTION_AUTOMATION, 30, ZEVP_REMOTE_DELIVERED, nullptr},
      {"a partner that sends none", ZEV_ACTION_AUTOMATION, -1, ZEVP_REMOTE_COMPLETED, "No result expected"},
      {"a rule has no result", ZEV_ACTION_RULE, 30, ZEVP_REMOTE_COMPLETED, "No result expected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SourceEntry* source = partner(c.resultWait);
    ActionEntry* entry = action(c.type, "cmd", nullptr);
    queue(source, entry);
    ASSERT_NE(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), nullptr);
    ZEVP_CheckActionRequestCompletion(source);
    EXPECT_EQ(source->ActionHandOver, nullptr);
    EXPECT_EQ(entry->RemoteState, c.state);
    if (c.result != nullptr) {
      EXPECT_STREQ(entry->ActionResult, c.result);
      EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_SUCCESS);
    }
    ZEVP_CheckActionRequestCompletion(source);  // nothing in hand-over: nothing happens
  }
}

TEST_F(HandOverTest, APostedResultLosesItsLastCharacterAndOnlyADeliveredActionTakesOne) {
  struct Case {
    const char* what;
    const char* posted;
    const char* stored;
  };
  const Case cases[] = {
      {"the partner's end character is dropped", "a;b;", "a;b"},
      {"an empty text stays empty", "", ""},
      {"no text: no data", nullptr, "Received result contains no data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SourceEntry* source = partner();
    ActionEntry* entry = action(ZEV_ACTION_AUTOMATION, "cmd", nullptr, 42);
    queue(source, entry);
    ASSERT_NE(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), nullptr);
    EXPECT_EQ(ZEVP_PostActionRequestCompletion(source, 42, "early;"), ZEVP_NO_ACTION_AWAITS_RESULT)
        << "fetched, not yet delivered";
    ZEVP_CheckActionRequestCompletion(source);
    EXPECT_EQ(ZEVP_PostActionRequestCompletion(source, 43, "other;"), ZEVP_NO_ACTION_AWAITS_RESULT);
    clock_.advance(5);
    EXPECT_EQ(ZEVP_PostActionRequestCompletion(source, 42, c.posted), 0);
    EXPECT_EQ(entry->RemoteState, ZEVP_REMOTE_COMPLETED);
    EXPECT_STREQ(entry->ActionResult, c.stored);
    EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_SUCCESS);
    EXPECT_EQ(entry->ResultLength, 0) << "a posted result leaves the length alone";
    EXPECT_EQ(entry->CompletionTime, clock_.now().seconds);
  }
}

TEST_F(HandOverTest, TheAPIverbIsTheSixBytesAfterTheHeader) {
  struct Case {
    std::string request;
    int verb;
  };
  const Case cases[] = {
      {"0123456789BGNINP....", 1}, {"0123456789RCVREQ", ZEVP_API_RCVREQ}, {"0123456789RESULTxyz", ZEVP_API_RESULT},
      {"0123456789SETSRC", 9},     {"0123456789bgninp", 0},              {"0123456789RCVRE", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(ZEVP_ExtractAPIcallType(c.request.data(), static_cast<int32_t>(c.request.size())), c.verb);
  }
}

// The worker's side: it queues the action and waits; a test thread plays the partner.
class RemoteWaitTest : public HandOverTest {
 protected:
  RemoteWaitTest() : own_(ZEVP_InitializeProcessEntry(anchor_.get())) {}
  ~RemoteWaitTest() override {
    // A worker still waiting after a failed expectation: told to end, so the test ends.
    TellToEnd(own_);
    if (worker_.joinable()) worker_.join();
    ZEVP_DestroyProcessEntry(own_);
  }

  void perform(SourceEntry* source, ActionEntry* entry) {
    worker_ = std::thread([this, source, entry] { ZEVP_PerformRemoteAction(own_, source, entry); });
  }
  // Once the worker has let go of the source; every look passes `seconds` of time
  // (the worker takes its deadline when it starts each wait).
  bool done(SourceEntry* source, int64_t seconds = 0) {
    if (!WaitUntil([this, source, seconds] {
          clock_.advance(seconds);
          BSV1_GetLock(&source->ActionListLock);
          bool listed = source->RemoteActions != nullptr;
          BSV1_ReleaseLock(&source->ActionListLock);
          return !listed;
        }))
      return false;
    worker_.join();
    return true;
  }

  ProcessEntry* own_;
  std::thread worker_;
};

TEST_F(RemoteWaitTest, TheWorkerWaitsForTheDeliveryAndThenForThePostedResult) {
  SourceEntry* source = partner();
  ActionEntry* entry = action(ZEV_ACTION_AUTOMATION, "cmd", "p", 42);
  entry->ActionStatus = ZEV_ACTION_STATUS_UNKNOWN;
  perform(source, entry);
  EXPECT_EQ(fetch(anchor_.get(), source), "42 REQ(cmd)PARM(p)");
  ZEVP_CheckActionRequestCompletion(source);
  EXPECT_EQ(ZEVP_PostActionRequestCompletion(source, 42, "done."), 0);
  ASSERT_TRUE(done(source));
  EXPECT_STREQ(entry->ActionResult, "done");
  EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_SUCCESS);
  EXPECT_EQ(entry->SourceNext, nullptr);
}

// A partner that never fetches, or never answers, no longer holds the worker: its
// wait ends with the source's result wait, at shut-down, or when the source goes.
TEST_F(RemoteWaitTest, EveryWaitOfTheWorkerEnds) {
  enum class End { resultWaitPasses, toldToEnd, sourceOffline };
  struct Case {
    const char* what;
    bool delivered;
    End end;
  };
  const Case cases[] = {
      {"never fetched, the result wait passes", false, End::resultWaitPasses},
      {"delivered, no result within the result wait", true, End::resultWaitPasses},
      {"never fetched, the worker is told to end", false, End::toldToEnd},
      {"delivered, the worker is told to end", true, End::toldToEnd},
      {"never fetched, the source went offline", false, End::sourceOffline},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    own_->terminationFlag = 0;
    SourceEntry* source = partner(30);
    ActionEntry* entry = action(ZEV_ACTION_AUTOMATION, "cmd", nullptr, 42);
    perform(source, entry);
    if (c.delivered) {
      fetch(anchor_.get(), source);
      ZEVP_CheckActionRequestCompletion(source);
    } else {
      ASSERT_TRUE(WaitUntil([&] {
        BSV1_GetLock(&source->ActionListLock);
        bool queued = source->RemoteActions == entry;
        BSV1_ReleaseLock(&source->ActionListLock);
        return queued;
      }));
    }
    if (c.end == End::toldToEnd) TellToEnd(own_);
    if (c.end == End::sourceOffline) ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
    ASSERT_TRUE(done(source, c.end == End::resultWaitPasses ? 31 : 0));
    EXPECT_STREQ(entry->ActionResult, "No result received in specified time period");
    EXPECT_EQ(entry->RemoteState, ZEVP_REMOTE_COMPLETED);
    EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_SUCCESS);
    EXPECT_EQ(ZEVP_CheckOutstandingActionRequest(anchor_.get(), source), nullptr) << "no longer offered";
    EXPECT_EQ(ZEVP_PostActionRequestCompletion(source, 42, "late;"), ZEVP_NO_ACTION_AWAITS_RESULT);
  }
}

// A policy action goes to every matching source; with API partners, to each in turn.
TEST_F(RemoteWaitTest, APolicyActionIsOfferedToTwoAPIpartnersInTurn) {
  SourceEntry* first = partner(30);
  SourceEntry* second = partner(30);
  ActionEntry* entry = action(ZEV_ACTION_AUTOMATION, "cmd", nullptr, 42);
  ZEV0_FreeStorage(&entry->ActionOwner);
  entry->ActionOwner = Text(ActionIsPolicy);
  ActionWorkerTaskEntry worker{};
  worker.LogActivity = 1;
  DPlogRecorder log;
  worker_ = std::thread([&] { ZEVP_PerformAction(&worker, own_, entry); });

  EXPECT_EQ(fetch(anchor_.get(), first), "42 REQ(cmd)");
  EXPECT_EQ(ZEVP_CheckOutstandingActionRequest(anchor_.get(), second), nullptr) << "the second waits its turn";
  ZEVP_CheckActionRequestCompletion(first);
  EXPECT_EQ(ZEVP_PostActionRequestCompletion(first, 42, "one;"), 0);
  EXPECT_EQ(fetch(anchor_.get(), second), "42 REQ(cmd)");
  ZEVP_CheckActionRequestCompletion(second);
  EXPECT_EQ(ZEVP_PostActionRequestCompletion(second, 42, "two;"), 0);
  worker_.join();

  EXPECT_STREQ(entry->ActionResult, "two");
  EXPECT_EQ(entry->ActionStatus, ZEV_ACTION_SUCCESS);
  EXPECT_EQ(entry->WorkerTask, &worker);
  EXPECT_EQ(log.count(64), 2);
  EXPECT_EQ(log.count(60), 1) << "a posted result has no length: the completion without it";
}

}  // namespace
