#include "definition_fixture.h"

#include <algorithm>
#include <iostream>

#include "table_manager_list.h"
#include "work_directory.h"
#include "zev_dorvan_manager.h"

namespace {

constexpr char kTableManagerFile[] = "ZEVATBLS";
constexpr uint16_t kEndOfSet = 0x10;

}  // namespace

void DefinitionRoadTest::SetUp() {
  DCHroadTest::SetUp();
  if (HasFatalFailure()) return;
  DefinitionWorkDirectory();
  trace_ = std::make_unique<TraceCapture>("*=0x90");
  RemoveWorkFile(kTableManagerFile);
  registry_ = std::make_unique<tableManagerList>();
  setTableManagers(registry_.get());
  peer_ = std::make_unique<rawdch::TcpPeer>(port());
  ASSERT_TRUE(peer_->connected());
}

DefinitionRoadTest::~DefinitionRoadTest() {
  for (zev_dorvan_manager* manager : managers_) delete manager;
}

void DefinitionRoadTest::TearDown() {
  setTableManagers(nullptr);
  if (registry_ != nullptr) {
    tableManagerListIterator walk(registry_->entries());
    while (tableManagerListEntry* entry = walk.Next())
      if (std::find(managers_.begin(), managers_.end(), entry->manager()) == managers_.end())
        managers_.push_back(entry->manager());
  }
  registry_.reset();
  peer_.reset();
  if (HasFailure() && trace_ != nullptr) std::cerr << "This process's trace:\n" << trace_->take();
  trace_.reset();
  DCHroadTest::TearDown();
}

void DefinitionRoadTest::registerApplication(const std::string& applName, const std::vector<rawdch::Group>& groups,
                                             const std::string& applHelp) {
  rawdch::StatusReply reply = peer_->exchange(rawdch::RegisterRequest(applName, applHelp, groups), kAnswerWaitMs);
  ASSERT_TRUE(reply.valid);
  ASSERT_EQ(reply.status, 0) << "register " << applName;
}

void DefinitionRoadTest::unregisterApplication(const std::string& applName) {
  rawdch::StatusReply reply = peer_->exchange(rawdch::UnregisterRequest(applName), kAnswerWaitMs);
  ASSERT_TRUE(reply.valid);
  ASSERT_EQ(reply.status, 0) << "unregister " << applName;
}

// An empty end of a sample set is a row for any group: the server hands the waiting
// consumer a cleared row.
bool DefinitionRoadTest::rowReachesDataThread(const std::string& applName, const std::string& attrGroup,
                                              const std::string& tableName) {
  uint32_t handle = online(*peer_, applName, attrGroup, "HOST1");
  std::string received = "Record for table <" + tableName + "> received";
  int before = trace().count(received);
  return Eventually([&] {
    peer_->exchange(rawdch::DataRequest(handle, kEndOfSet).bytes(), kAnswerWaitMs);
    return trace().count(received) > before;
  });
}
