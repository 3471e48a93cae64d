// The automatic MIB collection for a managed node: one action per collectable group
// of each application of the node's enterprise, each to an SNMP worker, which here
// records what it gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_comm.h"
#include "dp_anchor.h"
#include "hand_built_model.h"
#include "metafile_fixture.h"
#include "mib_auto_collection.h"
#include "managed_node_entry.h"
#include "process_entry.h"
#include "recording_snmp_worker.h"
#include "refused_thread_starts.h"
#include "routine_overrides.h"
#include "run_in_child.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev/action_codes.h"
#include "zev/dp_types.h"
#include "zev0/threads.h"

namespace {

// "owner type name | parameters"
std::string AutoCollectionLine(const ActionEntry* entry) {
  return std::string(entry->ActionOwner) + " " + std::to_string(entry->ActionType) + " " + entry->ActionName +
         " | " + entry->ActionParm;
}

// The SNMP data provider's anchor with three SNMP applications: one of the node's
// enterprise, MIB-2, and one of another enterprise; its SNMP workers record.
class SNMPmodels {
 public:
  SNMPmodels() {
    overrides_.routines().snmpWorkerTask = RecordingSNMPworker;
    DPAB* anchor = models_.anchor();
    anchor->dpType = ZEV_DP_SNMP;
    anchor->startupConfigDone = 1;
    ZEVP_InitializeDCHcomm(&link_, anchor);
    anchor->dchLink = &link_;
    load("mib.mdl", {"//SNMP TEXT", "//APPL Mib Ent 1.3.6.1.4.1.99", "//NAME System P 60", "//ATTRIBUTES",
                     "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2",
                     "sysName D 32 1.3.6.1.4.1.99.1.5", "//NAME Tiny P 60", "//ATTRIBUTES",
                     "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2",
                     "//NAME Ifs P 60", "//ATTRIBUTES", "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0",
                     "Agent_Name D 64 1.3.6.1.4.1.99.1.2", "ifDescr D 32 1.3.6.1.4.1.99.2.2"});
    load("mib2.mdl", {"//SNMP TEXT", "//APPL MIB-2 Std 1.3.6.1.2.1", "//NAME Sys P 60", "//ATTRIBUTES",
                      "Agent_Info D 64 1.3.6.1.2.1.1.1.0", "Agent_Name D 64 1.3.6.1.2.1.1.5",
                      "sysDescr D 32 1.3.6.1.2.1.1.1"});
    load("other.mdl", {"//SNMP TEXT", "//APPL Other Ent 1.3.6.1.4.1.999", "//NAME Grp P 60", "//ATTRIBUTES",
                       "Agent_Info D 64 1.3.6.1.4.1.999.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.999.1.2",
                       "x D 32 1.3.6.1.4.1.999.1.5"});
  }
  ~SNMPmodels() {
    ZEVP_EndActionWorkers(anchor());
    TellEveryThreadToEnd(anchor());
    EXPECT_TRUE(WaitForThreadCount(anchor(), 0));
    anchor()->dchLink = nullptr;
    ZEVP_DestroyDCHcomm(&link_);
  }
  SNMPmodels(const SNMPmodels&) = delete;
  SNMPmodels& operator=(const SNMPmodels&) = delete;

  DPAB* anchor() const { return models_.anchor(); }

  // What the workers got once every worker is idle again, sorted.
  std::vector<std::string> recordedActions() { return recorder_.take(anchor()); }

 private:
  void load(const std::string& name, const std::vector<std::string>& lines) {
    models_.write(name, lines);
    EXPECT_NE(models_.parse(name).application, nullptr) << name;
  }

  SNMPworkerRecorder recorder_{AutoCollectionLine};
  RoutineOverrides overrides_;
  MetafileFixture models_;
  DCHcomm link_{};
};

// The settings are read once per process, at the first collection: every case runs
// in a child of a test program that never reads them, so that no case sees the
// settings another read before it.
void InChildWithModels(const std::function<void(SNMPmodels&)>& body) {
  RunInChild([&body] {
    SNMPmodels models;
    body(models);
  });
}

ManagedNodeEntry Node(const char* oid, int32_t mib2 = 0) {
  ManagedNodeEntry node{};
  node.ManagedNodeName = const_cast<char*>("node1");
  node.ManagedNodeOID = const_cast<char*>(oid);
  node.MIB2Admitted = mib2;
  return node;
}

TEST(MIBautoCollectionTest, ANodeOfTheEnterpriseStartsEachCollectableGroupOfItsApplications) {
  InChildWithModels([](SNMPmodels& models) {
    ManagedNodeEntry node = Node("1.3.6.1.4.1.99.2.1.7");
    ZEVP_AutoStartMIBcollection(models.anchor(), &node);
    EXPECT_EQ(models.recordedActions(),
              (std::vector<std::string>{
                  "SNMPAUTOINIT 3 SNMPSTARTGET | AGENTINFO=( node1 ) INTERVAL=600 APPLNAME=Mib ATTRGROUP=Ifs",
                  "SNMPAUTOINIT 3 SNMPSTARTGET | AGENTINFO=( node1 ) INTERVAL=600 APPLNAME=Mib ATTRGROUP=System",
              }))
        << "Tiny has two attributes to a row, too few";
  });
}

TEST(MIBautoCollectionTest, TheStopTakesTheSameGroupsWithoutAnInterval) {
  InChildWithModels([](SNMPmodels& models) {
    ManagedNodeEntry node = Node("1.3.6.1.4.1.99.2.1.7");
    ZEVP_AutoStopMIBcollection(models.anchor(), &node);
    EXPECT_EQ(models.recordedActions(), (std::vector<std::string>{
                               "SNMPAUTOINIT 3 SNMPSTOPGET | AGENTINFO=( node1 ) APPLNAME=Mib ATTRGROUP=Ifs",
                               "SNMPAUTOINIT 3 SNMPSTOPGET | AGENTINFO=( node1 ) APPLNAME=Mib ATTRGROUP=System",
                           }));
  });
}

TEST(MIBautoCollectionTest, OnlyTheEnterpriseNumberCountsAndAnIdentifierOutsideTheArcIsComparedWhole) {
  InChildWithModels([](SNMPmodels& models) {
    struct Case {
      const char* oid;
      int32_t mib2;
      std::vector<std::string> applications;
    };
    const Case cases[] = {
        {"1.3.6.1.4.1.9.1", 0, {}},  // not 99 nor 999
        {"1.3.6.1.4.1.999.1", 0, {"Other"}},
        {"1.3.6.1.2.1", 0, {"MIB-2"}},
        {"1.3.6.1.2", 0, {"MIB-2"}},
        {"1.3.6.1.4.1.9.1", 1, {"MIB-2"}},  // the node admits MIB-2
        {nullptr, 1, {}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.oid != nullptr ? c.oid : "no identifier");
      ManagedNodeEntry node = Node(c.oid, c.mib2);
      ZEVP_AutoStartMIBcollection(models.anchor(), &node);
      std::vector<std::string> applications;
      for (const std::string& action : models.recordedActions()) {
        size_t at = action.find("APPLNAME=") + 9;
        applications.push_back(action.substr(at, action.find(' ', at) - at));
      }
      EXPECT_EQ(applications, c.applications);
    }
  });
}

TEST(MIBautoCollectionTest, AGroupWithAnAttributeOfNoObjectIsNotCollected) {
  InChildWithModels([](SNMPmodels& models) {
    ApplicationEntry* mib = models.anchor()->applications;
    AddAttribute(mib->FirstTable->FirstSource, "Computed");  // System, no object identifier
    TraceCapture trace("*=0x10");
    ManagedNodeEntry node = Node("1.3.6.1.4.1.99.2");
    ZEVP_AutoStartMIBcollection(models.anchor(), &node);
    std::vector<std::string> actions = models.recordedActions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_NE(actions[0].find("ATTRGROUP=Ifs"), std::string::npos);
    EXPECT_TRUE(trace.contains("Non-SNMP application table System. Data collection bypassed"));
  });
}

TEST(MIBautoCollectionTest, WithoutAWorkerTheApplicationIsBypassedAndItsActionFreed) {
  InChildWithModels([](SNMPmodels& models) {
    TraceCapture trace("*=0x80");
    {
      RefusedThreadStarts refused;
      ManagedNodeEntry node = Node("1.3.6.1.4.1.99.2");
      ZEVP_AutoStartMIBcollection(models.anchor(), &node);
      EXPECT_EQ(refused.refused(), 1) << "no second group of the application is tried";
    }
    EXPECT_TRUE(trace.contains("*****Auto worker thread creation failed. MIB auto start bypassed"));
    for (ActionEntry* entry = models.anchor()->actionEntries; entry != nullptr; entry = entry->NextEntry)
      EXPECT_EQ(entry->InUse, 0);
  });
}

bool FreeToTake(BSV1_Lock* lock) {
  if (pthread_mutex_trylock(&lock->mutex) != 0) return false;
  pthread_mutex_unlock(&lock->mutex);
  return true;
}

// Starts threads as the system does and notes, at each start, whether another
// thread could take the anchor's application locks.
class LockProbingStarts : public zev0::ThreadStarter {
 public:
  explicit LockProbingStarts(DPAB* anchor) : anchor_(anchor), previous_(zev0::SetThreadStarter(this)) {}
  ~LockProbingStarts() override { zev0::SetThreadStarter(previous_); }
  LockProbingStarts(const LockProbingStarts&) = delete;
  LockProbingStarts& operator=(const LockProbingStarts&) = delete;

  int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
            void* argument) override {
    bool free = true;
    std::thread probe([&] {
      free = FreeToTake(&anchor_->applicationListLock);
      for (ApplicationEntry* application = anchor_->applications; application != nullptr;
           application = application->next)
        free = FreeToTake(&application->TableListLock) && free;
    });
    probe.join();
    ++starts_;
    if (!free) ++startsUnderLock_;
    return pthread_create(threadId, attributes, startRoutine, argument);
  }
  int starts() const { return starts_; }
  int startsUnderLock() const { return startsUnderLock_; }

 private:
  DPAB* anchor_;
  zev0::ThreadStarter* previous_;
  int starts_ = 0;
  int startsUnderLock_ = 0;
};

// A worker's collection and the DCH client's registration take an application's
// locks after the worker list's: workers are found with none of them held.
TEST(MIBautoCollectionTest, WorkersAreStartedWithNoApplicationLockHeld) {
  InChildWithModels([](SNMPmodels& models) {
    LockProbingStarts probe(models.anchor());
    ManagedNodeEntry node = Node("1.3.6.1.4.1.99.2.1.7");
    ZEVP_AutoStartMIBcollection(models.anchor(), &node);
    EXPECT_EQ(models.recordedActions().size(), 2u);
    EXPECT_GT(probe.starts(), 0);
    EXPECT_EQ(probe.startsUnderLock(), 0);
  });
}

TEST(MIBautoCollectionSettingsTest, TheSwitchesAndTheIntervalComeFromTheEnvironment) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> settings;
    const char* oid;
    int32_t mib2;
    size_t actions;
    const char* expected;
  };
  const Case cases[] = {
      // A node of the enterprise that admits MIB-2: three groups, were the start on.
      {"automatic start off", {{"ZEVP_SNMP_AUTOSTART_MIB_COLLECTION", "N"}}, "1.3.6.1.4.1.99.2.1.7", 1, 0, ""},
      {"MIB-2 for every node, another interval",
       {{"ZEVP_SNMP_AUTOSTART_COLLECTION_MIB2", "y"}, {"ZEVP_SNMP_CUSTOM_MIBGET_INTERVAL", "90"}},
       "1.3.6.1.4.1.9.1", 0, 1,
       "SNMPAUTOINIT 3 SNMPSTARTGET | AGENTINFO=( node1 ) INTERVAL=90 APPLNAME=MIB-2 ATTRGROUP=Sys"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunInChild([&c] {
      for (const auto& [name, value] : c.settings) setenv(name, value, 1);
      SNMPmodels models;
      ManagedNodeEntry node = Node(c.oid, c.mib2);
      ZEVP_AutoStartMIBcollection(models.anchor(), &node);
      std::vector<std::string> actions = models.recordedActions();
      ASSERT_EQ(actions.size(), c.actions);
      if (!actions.empty()) {
        EXPECT_EQ(actions[0], c.expected);
      }
    });
  }
}

}  // namespace
