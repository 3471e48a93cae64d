// The SNMP worker's life around the automation server: an action it finished goes
// back to the running server and the worker waits for the next; with no server to
// take it back (the data provider ends, or its server has not started) the action is
// held for a server and the worker ends.
#include <gtest/gtest.h>

#include <cstring>

#include "action_entry.h"
#include "action_worker.h"
#include "bare_anchor.h"
#include "dch_comm.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "process_entry.h"
#include "routine_overrides.h"
#include "source_entry.h"
#include "zev/action_codes.h"

namespace {

// The agent takes every result at once.
void Answered(DPAB*, ProcessEntry*, SourceEntry* source) { source->State = ZEVP_Action; }

int Workers(DPAB* anchor) {
  int count = 0;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) ++count;
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return count;
}

ActionEntry* QueuedAt(ProcessEntry* server) {
  BSV1_GetLock(&server->workQueueLock);
  auto* queued = static_cast<ActionEntry*>(server->requestQueue);
  BSV1_ReleaseLock(&server->workQueueLock);
  return queued;
}

ActionEntry* Held(DPAB* anchor) {
  BSV1_GetLock(&anchor->heldActionLock);
  ActionEntry* held = anchor->heldActions;
  BSV1_ReleaseLock(&anchor->heldActionLock);
  return held;
}

// An action no SNMP worker knows: refused with status 3 and posted.
ActionEntry* UnknownAction(DPAB* anchor) {
  ActionEntry* action = ZEVP_AllocateActionEntry(anchor);
  action->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
  action->ActionType = ZEV_ACTION_SNMP;
  action->ActionID = 7;
  action->ActionOwner = ZEVP_CopyActionText("Sit_A", 5);
  action->ActionName = ZEVP_CopyActionText("SNMPNOSUCH", 10);
  return action;
}

TEST(SNMPworkerLifeTest, AWorkerEndsWhenItsFinishedActionFindsNoAutomationServer) {
  for (bool serverRuns : {true, false}) {
    SCOPED_TRACE(serverRuns ? "the automation server runs" : "no automation server");
    RoutineOverrides overrides;
    overrides.routines().queueAndWaitDCHstatus = Answered;
    BareAnchor anchor;
    DCHcomm link{};
    ZEVP_InitializeDCHcomm(&link, anchor.get());
    anchor->dchLink = &link;
    ProcessEntry* server = serverRuns ? ZEVP_InitializeProcessEntry(anchor.get()) : nullptr;
    anchor->automationServerEntry = server;

    ActionEntry* action = UnknownAction(anchor.get());
    ActionWorkerTaskEntry* worker = ZEVP_AllocateActionWorkerTask(&link, ZEV_ACTION_SNMP, 1);
    ASSERT_NE(worker, nullptr);
    ZEVP_AssignWorkerAction(worker, action);
    if (serverRuns) {
      EXPECT_TRUE(Eventually([&] { return QueuedAt(server) == action; }, 5000));
      EXPECT_TRUE(Eventually([&] { return worker->ActionWorkerStatus == ZEVP_WORKER_IDLE; }, 5000));
      EXPECT_EQ(Workers(anchor.get()), 1) << "it waits for its next action";
    } else {
      EXPECT_TRUE(Eventually([&] { return Workers(anchor.get()) == 0; }, 5000)) << "it ended";
      EXPECT_EQ(Held(anchor.get()), action) << "held for the next server";
    }
    EXPECT_EQ(action->ActionStatus, 3);

    ZEVP_EndActionWorkers(anchor.get());
    TellEveryThreadToEnd(anchor.get());
    EXPECT_TRUE(WaitForThreadCount(anchor.get(), 0));
    anchor->automationServerEntry = nullptr;
    if (server != nullptr) {
      server->requestQueue = nullptr;
      ZEVP_DestroyProcessEntry(server);
    }
    anchor->dchLink = nullptr;
    ZEVP_DestroyDCHcomm(&link);
  }
}

}  // namespace
