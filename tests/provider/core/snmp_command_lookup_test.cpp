// An operator's SNMP command in the automation server of the SNMP data provider: the
// look-up of the network it names holds no lock that the DCH receive task takes, so a
// slow name server holds up no action the agent sends meanwhile.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "action_entry.h"
#include "action_intake.h"
#include "action_worker.h"
#include "automation_server.h"
#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_comm.h"
#include "dch/dch_protocol.h"
#include "dch_message_parser.h"
#include "dp_log_recorder.h"
#include "host_name_table.h"
#include "network_manage_entry.h"
#include "process_entry.h"
#include "recording_snmp_worker.h"
#include "routine_overrides.h"
#include "zev/dp_types.h"

namespace {

// Names as the table has them, each answered only once the test lets the look-ups go.
class HeldNameService : public HostNameTable {
 public:
  explicit HeldNameService(std::map<std::string, std::string> names) : HostNameTable(std::move(names)) {}

  int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++waiting_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return released_; });
    }
    return HostNameTable::hostByName(name, entry, buffer, size, hostError);
  }
  // True once a look-up waits.
  bool lookUpWaits() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return waiting_ > 0; });
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int waiting_ = 0;
  bool released_ = false;
};

// "name address" of the network request, or "name parameters".
std::string WorkerLine(const ActionEntry* entry) {
  std::string line = entry->ActionName;
  if (entry->NetworkManage != nullptr) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &entry->NetworkManage->NetworkAddress, text, sizeof text);
    return line + " " + text;
  }
  return line + " " + (entry->ActionParm != nullptr ? entry->ActionParm : "");
}

void NoAutoStart(DPAB*, const char*) {}

DCHview View(const char* text) { return DCHview{text, static_cast<uint32_t>(std::strlen(text))}; }

// The operator's command as the DCH receive task takes it from the agent.
void TakeOperatorCommand(DPAB* anchor, uint32_t id, const char* node, const char* parameters) {
  DCHactionMessage action;
  action.owner = View("SNMP Control");
  action.node = View(node);
  action.name = View("SNMP");
  action.parms = View(parameters);
  action.actionID = id;
  action.fieldCount = DCH_ACTION_REQUIRED_FIELDS;
  ZEVP_TakeActionFromAgent(anchor, &action);
}

// The SNMP data provider's anchor, its automation server running, its SNMP workers
// recording what they get.
class SNMPautomation {
 public:
  SNMPautomation() {
    overrides_.routines().snmpWorkerTask = RecordingSNMPworker;
    overrides_.routines().doAutoStartMIBmonitorTasks = NoAutoStart;
    anchor_->dpType = ZEV_DP_SNMP;
    anchor_->startupConfigDone = 1;
    ZEVP_InitializeDCHcomm(&link_, anchor_.get());
    anchor_->dchLink = &link_;
    EXPECT_EQ(ZEVP_CreateProcess(anchor_.get(), -1, nullptr, ZEVP_AutomationServer, 0, nullptr), 1);
  }
  ~SNMPautomation() {
    TellEveryThreadToEnd(anchor_.get());
    EXPECT_TRUE(WaitForThreadCount(anchor_.get(), 0));
    anchor_->dchLink = nullptr;
    ZEVP_DestroyDCHcomm(&link_);
  }
  SNMPautomation(const SNMPautomation&) = delete;
  SNMPautomation& operator=(const SNMPautomation&) = delete;

  DPAB* anchor() const { return anchor_.get(); }
  // What the workers got, once the server has taken back as many actions as that.
  std::vector<std::string> recorded(size_t actions) {
    EXPECT_TRUE(WaitUntil([this, actions] { return actionsFinished() == actions; }));
    return recorder_.take(anchor());
  }

 private:
  // Entries made for actions, once none is in use any more; 0 while one is.
  size_t actionsFinished() {
    DPAB* anchor = anchor_.get();
    size_t made = 0;
    bool inUse = false;
    BSV1_GetLock(&anchor->actionListLock);
    for (ActionEntry* entry = anchor->actionEntries; entry != nullptr; entry = entry->NextEntry, ++made)
      inUse = inUse || entry->InUse != 0;
    BSV1_ReleaseLock(&anchor->actionListLock);
    return inUse ? 0 : made;
  }

  SNMPworkerRecorder recorder_{WorkerLine};
  RoutineOverrides overrides_;
  DPlogRecorder log_;
  BareAnchor anchor_;
  DCHcomm link_{};
};

TEST(SNMPcommandLookUpTest, ASlowLookUpOfTheNetworkHoldsUpNoActionTheAgentSends) {
  HeldNameService names(std::map<std::string, std::string>{{"10.20.0.0", "branch"}});
  SNMPautomation automation;
  DPAB* anchor = automation.anchor();
  TakeOperatorCommand(anchor, 1, "node1:APPGRP00", "MANAGE START NETADDR=branch");
  ASSERT_TRUE(names.lookUpWaits());

  std::atomic<bool> taken{false};
  std::thread receiveTask([&] {
    TakeOperatorCommand(anchor, 2, "node2:APPGRP00", "SET x=1");
    taken = true;
  });
  const bool takenDuringLookUp = WaitUntil([&] { return taken.load(); });
  names.release();
  receiveTask.join();
  EXPECT_TRUE(takenDuringLookUp) << "the receive task waited for the look-up";
  EXPECT_EQ(automation.recorded(2), (std::vector<std::string>{"SNMPMANAGE 10.20.0.0", "SNMPSET x=1 APPLNAME=APPGRP"}));
}

}  // namespace
