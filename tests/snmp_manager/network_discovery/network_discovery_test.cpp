// The network discovery thread's schedule on the clock seam: a day of its passes
// with the default check interval (1800 s) and network data TTL (14400 s), the
// NETSUMMARY rows taken as the agent would take them, the pings of the subnet
// search played by the test and the sweeps' thread starts refused and noted.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "application_entry.h"
#include "bare_anchor.h"
#include "dch_work_queue.h"
#include "discovery_seam_overrides.h"
#include "manager_routine_overrides.h"
#include "manager_switches.h"
#include "manual_clock.h"
#include "model_lookups.h"
#include "model_release.h"
#include "network_configuration_block.h"
#include "network_discovery.h"
#include "network_list.h"
#include "no_name_service.h"
#include "prodspec_directory.h"
#include "routine_overrides.h"
#include "scratch_directory.h"
#include "snmp_manager_model.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev0/prodspec.h"
#include "zev0/threads.h"

namespace {

// The work directory and a product whose discovery rows go out, fixed for
// the program at their first use.
void ScheduleProduct() {
  static const bool ready = [] {
    static ScratchDirectory work("zev_network_schedule");
    setenv("ZEV_WORK_PATH", work.path().c_str(), 1);
    static ProdSpecDirectory product;
    product.write({"PRODUCT_CODE=EV", "NODE_TYPE=DV", "PRODUCT_NAME=Dorvane_Agent", "AGENT_AFF_NAME=AFF_DORVANE",
                   "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "ENABLE_SNMP_DISCOVERY=Y",
                   "ENABLE_DISCOVERY_DATA_UPDATE=Y"});
    product.use();
    return ZEV0_InitializeProductSpec() == 1;
  }();
  ASSERT_TRUE(ready);
}

constexpr int64_t kStart = 1000000;
constexpr char kSubnetted[] = "172.16.0.0";
constexpr char kFirstOtherSubnet[] = "172.16.64.0";

ManualClock* dayClock = nullptr;
NetworkConfigurationBlock* block = nullptr;
std::mutex noted;
std::vector<int64_t> summaryRows;  // seconds from the start of each NETSUMMARY row
std::vector<int64_t> searches;     // of each subnet search (its first probe)
std::vector<int64_t> sweeps;       // of each sweep the thread tried to start
std::vector<int64_t> rechecks;     // of each re-check of the agents it asked for
int searchesBeforeTheEnd = 0;

int64_t Elapsed() { return dayClock->now().seconds - kStart; }

void Note(std::vector<int64_t>* times) {
  std::lock_guard<std::mutex> hold(noted);
  times->push_back(Elapsed());
}

// The agent takes every request: the registration (left to the data provider to
// finish), an online, a row (noted when it is a NETSUMMARY row).
void AnswerAsTheAgent(DPAB* anchor, ProcessEntry*, SourceEntry* source) {
  switch (ZEVP_SourceStateOf(source)) {
    case ZEVP_Ready:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
      break;
    case ZEVP_Output:
      if (source->Table == anchor->snmpManagerTables[ZEVP_SNMP_NETSUMMARY]) Note(&summaryRows);
      ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
      break;
    default:
      break;
  }
}

// The search's first probe of each pass notes it; the last one ends the day.
int PlayedPing(const uint32_t* address, uint16_t, int wholeNetwork, NetworkEntry*, NetworkEntry*, int32_t) {
  if (wholeNetwork != 0 || *address != inet_addr(kFirstOtherSubnet)) return 0;
  Note(&searches);
  if (static_cast<int>(searches.size()) == searchesBeforeTheEnd) zevs::SignalBlockShutdown(block);
  return 0;
}

void NoteRecheck(const char* address) {
  if (address != nullptr && std::string(address) == "0.0.0.0") Note(&rechecks);
}

// Notes and refuses every thread start: the sweeps.
class RefusedSweeps : public zev0::ThreadStarter {
 public:
  RefusedSweeps() : previous_(zev0::SetThreadStarter(this)) {}
  ~RefusedSweeps() override { zev0::SetThreadStarter(previous_); }
  int start(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) override {
    Note(&sweeps);
    return EAGAIN;
  }

 private:
  zev0::ThreadStarter* previous_;
};

std::vector<int64_t> Every(int64_t step, int64_t first, int64_t last) {
  std::vector<int64_t> times;
  for (int64_t time = first; time <= last; time += step) times.push_back(time);
  return times;
}

TEST(NetworkDiscoverySchedule, ADayOfReportsSubnetSearchesSweepsAndAgentRechecks) {
  ScheduleProduct();
  NoNameService names;
  RoutineOverrides engine;
  engine.routines().queueAndWaitDCHstatus = AnswerAsTheAgent;
  ManagerRoutineOverrides manager;
  manager.routines().enqueuePlovenDiscoveryRequest = NoteRecheck;
  DiscoverySeamOverrides seams;
  seams.seams().checkActiveNode = PlayedPing;
  BareAnchor anchor;
  ASSERT_EQ(ZEVP_DefineSNMPmonitorSpec(anchor.get(), 1, 0), 1);
  ASSERT_NE(ZEVP_SNMPmanagerSource(anchor.get(), ZEVP_SNMP_NETSUMMARY), nullptr);
  block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  block->anchor = anchor.get();
  const uint32_t subnetted = inet_addr(kSubnetted);
  ASSERT_NE(ZEVS_UpdateNetworkListEntry(&subnetted, inet_addr("255.255.192.0"), 0), nullptr);
  PlovenAgentDiscoveryEnabled = 1;

  constexpr int64_t kDay = 86400;
  searchesBeforeTheEnd = static_cast<int>(kDay / (16 * 1800)) + 1;
  {
    ManualClock day(kStart);
    dayClock = &day;
    RefusedSweeps refused;
    pthread_t thread{};
    ASSERT_EQ(pthread_create(&thread, nullptr, ZEVS_DiscoverNetworkTask, block), 0);
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += 60;
    ASSERT_EQ(pthread_timedjoin_np(thread, nullptr, &deadline), 0) << "the network thread did not end";
    dayClock = nullptr;
  }
  PlovenAgentDiscoveryEnabled = 0;

  // NETSUMMARY every three quarters of the TTL, from one such interval on; the subnet
  // search at every 16th check, from the first; a sweep at every second check; the
  // agents re-checked once more than 300 seconds have passed, at the 30-second passes.
  EXPECT_EQ(summaryRows, Every(10800, 10800, kDay));
  EXPECT_EQ(searches, Every(16 * 1800, 0, kDay));
  EXPECT_EQ(sweeps, Every(2 * 1800, 0, kDay));
  EXPECT_EQ(rechecks, Every(330, 0, kDay));
  EXPECT_EQ(block->subnetNodeDiscoveryRunning, 0) << "a refused sweep does not count as running";

  zevs::FreeNetworkConfigurationBlock(block);
  block = nullptr;
  for (auto& table : anchor->snmpManagerTables) table = nullptr;
  ZEVP_ReleaseApplResources(anchor.get(), ZEVP_LocateApplicationByName(anchor.get(), "SNMP-Manager", 12), 1);
}

}  // namespace
