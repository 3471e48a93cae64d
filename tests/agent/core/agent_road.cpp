#include "agent_road.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iostream>

#include "agent_limits.h"
#include "agent_startup.h"
#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch_server.h"
#include "dch_test_settings.h"
#include "eventually.h"
#include "run_in_child.h"
#include "status_monitor.h"
#include "table_name.h"
#include "zev0/prodspec.h"
#include "zev0/threads.h"

namespace {

constexpr unsigned kWatchdogSeconds = 90;
constexpr size_t kOriginNodeLength = 32;
constexpr size_t kNameOffset = 32;
constexpr size_t kNameLength = 8;
constexpr size_t kCountOffset = 40;

void setSetting(const std::string& setting) {
  size_t equals = setting.find('=');
  ASSERT_NE(equals, std::string::npos) << setting;
  setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
}

std::string scratchDirectory() {
  char pattern[] = "/tmp/zev_agent_road_XXXXXX";
  char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  return std::string(made != nullptr ? made : "/tmp") + "/";
}

void closeOpenRequests() {
  for (const raf::Manager& manager : raf::Managers())
    for (uint32_t handle : raf::OpenRequests(manager.application, manager.table)) raf::CloseRequest(handle);
}

bool subnodeIs(const std::string& name, const std::function<bool(const raf::Subnode*)>& state, int waitMs) {
  return Eventually(
      [&] {
        std::vector<raf::Subnode> subnodes = raf::Subnodes();
        const raf::Subnode* found = nullptr;
        for (const raf::Subnode& subnode : subnodes)
          if (subnode.name == name) found = &subnode;
        return state(found);
      },
      waitMs);
}

}  // namespace

// --- RoadProvider ---------------------------------------------------------------------

RoadProvider::RoadProvider(unsigned short port) : peer_(port) {}

void RoadProvider::registerApplication(const std::string& applName, const std::vector<rawdch::Group>& groups) {
  rawdch::StatusReply reply = peer_.exchange(rawdch::RegisterRequest(applName, "appl help", groups), kRoadWaitMs);
  EXPECT_TRUE(reply.valid && reply.status == 0) << "register " << applName;
}

void RoadProvider::unregisterApplication(const std::string& applName) {
  rawdch::StatusReply reply = peer_.exchange(rawdch::UnregisterRequest(applName), kRoadWaitMs);
  EXPECT_TRUE(reply.valid && reply.status == 0) << "unregister " << applName;
}

uint32_t RoadProvider::online(const std::string& applName, const std::string& attrGroup,
                              const std::string& sourceName) {
  rawdch::StatusReply reply = peer_.exchange(rawdch::OnlineRequest(applName, attrGroup, sourceName), kRoadWaitMs);
  bool online = reply.valid && reply.hasHandle && reply.status == 0;
  EXPECT_TRUE(online) << "online " << applName << "/" << attrGroup << "/" << sourceName;
  if (online) ++onlines_;
  return reply.handle;
}

void RoadProvider::offline(uint32_t handle) {
  rawdch::StatusReply reply = peer_.exchange(rawdch::OfflineRequest(handle), kRoadWaitMs);
  bool offline = reply.valid && reply.status == 0;
  EXPECT_TRUE(offline) << "offline " << handle;
  if (offline) ++offlines_;
}

int32_t RoadProvider::sendNameAndCount(uint32_t handle, const std::string& name, uint32_t count) {
  rawdch::Message request = rawdch::DataRequest(handle, 0x11);
  request.text(rawdch::kAttrName, "Name").text(rawdch::kAttrValue, name);
  request.text(rawdch::kAttrName, "Count").u32(rawdch::kAttrValue, count);
  rawdch::StatusReply reply = peer_.exchange(request.bytes(), kRoadWaitMs);
  EXPECT_TRUE(reply.valid);
  return reply.valid ? reply.status : INT32_MIN;
}

void RoadProvider::waitForActions(uint16_t actionType, const std::string& hostName) {
  rawdch::StatusReply reply = peer_.exchange(rawdch::WaitForActionRequest(actionType, hostName), kRoadWaitMs);
  EXPECT_TRUE(reply.valid && reply.status == 0) << "wait for actions";
}

rawdch::ActionMessage RoadProvider::nextAction(int waitMs) { return rawdch::ReadActionMessage(peer_.receive(waitMs)); }

void RoadProvider::close() {
  peer_.close();
  closed_ = true;
}

int RoadProvider::notices() const { return onlines_ + (closed_ ? onlines_ : offlines_); }

// --- AgentRoad ------------------------------------------------------------------------

// As the agent's start-up: its environment, the product specification, its limits, the
// DCH server and the steps after it.
AgentRoad::AgentRoad(const std::vector<std::string>& settings) : trace_("*=0x90") {
  port_ = LoopbackDCHPort();
  workDirectory_ = scratchDirectory();
  setenv("ZEV_WORK_PATH", workDirectory_.c_str(), 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  for (const std::string& setting : settings) setSetting(setting);
  readAgentEnvironment();
  if (ZEV0_InitializeProductSpec() != 1) {
    ADD_FAILURE() << "the product specification examples/ZEVPSF could not be read";
    return;
  }
  fillAgentLimits();
  ZEV0_InitializeMutex(ZEVA_GetEnvVarsInitLock());
  server_ = std::make_unique<DCHserver>();
  if (!waitForDCHserver(*server_)) {
    ADD_FAILURE() << "the DCH server did not get ready";
    return;
  }
  DCH_api_init();
  createAgentLists();
  if (!startStatusMonitor() || !traced("Waiting for DP status change.")) {
    ADD_FAILURE() << "the status monitor did not start";
    return;
  }
  syncWithServer();
  started_ = true;
}

// The lists go only once the monitor has handled the last notice. The consumer locks stay,
// as in the agent: a table's data thread that has let its description go may still be
// giving back its wait.
AgentRoad::~AgentRoad() {
  for (auto& provider : providers_) provider->close();
  EXPECT_TRUE(noticesHandled()) << "the monitor handles the offline of every source";
  EXPECT_TRUE(probesEnded()) << "every probe ends once its data providers have gone";
  closeOpenRequests();
  if (server_ != nullptr) {
    deleteAgentLists();
    server_.reset();
  }
  std::filesystem::remove_all(workDirectory_);
  if (::testing::Test::HasFailure()) std::cerr << "The agent's trace:\n" << trace_.take();
}

RoadProvider& AgentRoad::newProvider() {
  providers_.push_back(std::make_unique<RoadProvider>(port_));
  EXPECT_TRUE(providers_.back()->connected());
  return *providers_.back();
}

bool AgentRoad::traced(const std::string& text, int count, int waitMs) {
  return Eventually([&] { return trace_.count(text) >= count; }, waitMs);
}

void AgentRoad::syncWithServer() {
  rawdch::UdpPeer peer(port_);
  // An offline for a handle no store holds: answered after what came before.
  EXPECT_TRUE(peer.exchange(rawdch::OfflineRequest(1), kRoadWaitMs).valid);
}

bool AgentRoad::definitionReady(const std::string& applName, const std::vector<std::string>& attrGroups) {
  int builds = trace_.count("Starting probe for application <" + applName + ">");
  if (!traced("Signaling for userDataList[" + applName + "]", builds)) return false;
  for (const std::string& group : attrGroups)
    if (!traced("waitOnDP thread parked for applName<" + applName + "> attrGroup<" + group + ">", builds))
      return false;
  syncWithServer();
  return true;
}

bool AgentRoad::subnodeOnline(const std::string& subnodeName, int waitMs) {
  return subnodeIs(subnodeName, [](const raf::Subnode* found) { return found != nullptr && found->online; }, waitMs);
}

bool AgentRoad::subnodeOffline(const std::string& subnodeName, int waitMs) {
  return subnodeIs(subnodeName, [](const raf::Subnode* found) { return found != nullptr && !found->online; }, waitMs);
}

bool AgentRoad::subnodeGone(const std::string& subnodeName, int waitMs) {
  return subnodeIs(subnodeName, [](const raf::Subnode* found) { return found == nullptr; }, waitMs);
}

bool AgentRoad::probesEnded(int waitMs) {
  return Eventually(
      [&] { return trace_.count("Leaving startNewProbe") == trace_.count("Starting probe for application"); }, waitMs);
}

bool AgentRoad::noticesHandled(int waitMs) {
  int notices = 0;
  for (const auto& provider : providers_) notices += provider->notices();
  // The monitor says it waits once before the first notice and once after each.
  return traced("Waiting for DP status change.", notices + 1, waitMs);
}

bool AgentRoad::filed(const std::string& tableName, const std::string& sourceName, int count) {
  return traced("Record for table <" + tableName + "> of source <" + sourceName + "> ", count);
}

// --- Requests and rows ------------------------------------------------------------------

std::string TableOf(const std::string& applName, const std::string& attrGroup, const std::string& RR) {
  char tableName[kTableNameSize];
  formatTableName(tableName, applName.c_str(), attrGroup.c_str(), RR.c_str());
  return tableName;
}

raf::RequestSpec Request(const std::string& applName, const std::string& attrGroup,
                         const std::vector<std::string>& subnodes, int sampleType, const std::string& situation) {
  raf::RequestSpec spec;
  spec.application = ApplicationOf(applName);
  spec.table = TableOf(applName, attrGroup);
  spec.subnodes = subnodes;
  spec.sampleType = sampleType;
  spec.situation = situation;
  spec.interval = 60;
  return spec;
}

std::vector<NameAndCountRow> RowsOf(const std::vector<std::string>& rows) {
  std::vector<NameAndCountRow> read;
  for (const std::string& row : rows) {
    NameAndCountRow named;
    if (row.size() >= kCountOffset + sizeof(int32_t)) {
      named.originNode = row.substr(0, kOriginNodeLength);
      named.name = std::string(row.data() + kNameOffset, strnlen(row.data() + kNameOffset, kNameLength));
      named.name.erase(named.name.find_last_not_of(' ') + 1);
      std::memcpy(&named.count, row.data() + kCountOffset, sizeof named.count);
    }
    read.push_back(named);
  }
  return read;
}

std::vector<NameAndCountRow> SampleRows(uint32_t handle) {
  std::vector<std::string> rows;
  EXPECT_TRUE(raf::Sample(handle, &rows)) << "request " << handle << " has ended";
  return RowsOf(rows);
}

void RunScenario(const std::vector<std::string>& settings, const std::function<void(AgentRoad&)>& scenario) {
  RunInChild([&] {
    alarm(kWatchdogSeconds);
    AgentRoad road(settings);
    if (road.started()) scenario(road);
  });
}
