#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "framework_fixture.h"
#include "pxraf.h"
#include "raf_status.h"
#include "table_manager.h"

namespace {

using namespace std::chrono_literals;
using rafdemo::Row;

TEST_F(FrameworkTest, HandlesAreNeverZeroAndNeverGivenTwice) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 5; ++i) {
    uint32_t handle = raf::OpenRequest(demoSpec());
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(seen.insert(handle).second);
    raf::CloseRequest(handle);
    EXPECT_EQ(Pxraf::UseHandle(handle), nullptr) << "a closed request's handle names nothing";
  }
  raf::Reset();
  ASSERT_EQ(manager_->RegisterWithManager(), 0);
  EXPECT_EQ(seen.count(raf::OpenRequest(demoSpec())), 0u) << "not even after a reset";
}

TEST_F(FrameworkTest, ClosingARequestWaitsForItsPinsToDrop) {
  uint32_t handle = raf::OpenRequest(demoSpec());
  Pxraf* pinned = Pxraf::UseHandle(handle);
  ASSERT_NE(pinned, nullptr);
  auto closing = std::async(std::launch::async, [handle] { return raf::CloseRequest(handle); });
  EXPECT_EQ(closing.wait_for(200ms), std::future_status::timeout) << "deleted under its user";
  EXPECT_EQ(Pxraf::UseHandle(handle), nullptr) << "an ending request is not given out";
  EXPECT_EQ(manager_->requestsDeleted.load(), 0);
  pinned->Drop();
  ASSERT_EQ(closing.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(closing.get());
  EXPECT_EQ(manager_->requestsDeleted.load(), 1);
  EXPECT_FALSE(raf::CloseRequest(handle));
}

// The event path takes a row list's lock before the manager's; a framework that held
// the manager's lock while calling into a request would deadlock against it.
TEST_F(FrameworkTest, TheManagersLockIsFreeWhileTheFrameworkCallsIntoARequest) {
  auto lockTakenElsewhere = [this] {
    auto locking = std::async(std::launch::async, [this] {
      manager_->lock();
      manager_->unlock();
    });
    return locking.wait_for(5s) == std::future_status::ready;
  };
  bool freeInSample = false, freeInDestructor = false;
  manager_->duringSample = [&] { freeInSample = lockTakenElsewhere(); };
  manager_->duringDestruction = [&] { freeInDestructor = lockTakenElsewhere(); };
  uint32_t handle = raf::OpenRequest(demoSpec());
  ASSERT_TRUE(raf::Sample(handle, nullptr));
  ASSERT_TRUE(raf::CloseRequest(handle));
  EXPECT_TRUE(freeInSample);
  EXPECT_TRUE(freeInDestructor);
}

TEST_F(FrameworkTest, DispatchDeliversTheRowsInsertedSoFarAsOneBatch) {
  uint32_t first = raf::OpenRequest(demoSpec());
  raf::RequestSpec selective = demoSpec();
  selective.sampleType = IntfSampleType_event;
  selective.predicates = {{"DV2", IntfOper_GE, "10"}};
  uint32_t second = raf::OpenRequest(selective);
  std::string small = Row("host1", "a", 1, 1);
  std::string big = Row("host1", "b", 10, 1);
  EXPECT_EQ(manager_->PushEvent(small), 0);
  EXPECT_EQ(manager_->PushEvent(big), 0);
  using Batches = std::vector<std::vector<std::string>>;
  EXPECT_EQ(raf::TakeEventBatches(first), (Batches{{small}, {big}}));
  EXPECT_EQ(raf::TakeEventBatches(second), (Batches{{big}})) << "no batch without rows";
  EXPECT_TRUE(raf::TakeEventBatches(first).empty());
  raf::InjectFailure(raf::Failure::Dispatch);
  EXPECT_EQ(manager_->PushEvent(big), RAF_STATUS_FAILED);
  EXPECT_EQ(raf::TakeEventBatches(first).size() + raf::TakeEventBatches(second).size(), 1u);
}

TEST_F(FrameworkTest, ShutdownOfAManagerEndsItsOpenRequests) {
  uint32_t first = raf::OpenRequest(demoSpec());
  uint32_t second = raf::OpenRequest(demoSpec());
  EXPECT_EQ(raf::OpenRequests(rafdemo::kApplication, rafdemo::kTable), (std::vector<uint32_t>{first, second}));
  raf::InjectFailure(raf::Failure::Shutdown);
  EXPECT_NE(manager_->Shutdown(0), 0);
  EXPECT_EQ(manager_->requestsDeleted.load(), 0);
  EXPECT_EQ(manager_->Shutdown(0), 0);
  EXPECT_EQ(manager_->requestsDeleted.load(), 2);
  EXPECT_TRUE(raf::OpenRequests(rafdemo::kApplication, rafdemo::kTable).empty());
  EXPECT_EQ(Pxraf::UseHandle(first), nullptr);
}

TEST_F(FrameworkTest, ManagersRegisterOncePerApplicationAndTable) {
  rafdemo::DemoManager same;
  rafdemo::DemoManager otherTable(rafdemo::kApplication, "DEM0000200");
  rafdemo::DemoManager unnamed("", "T");
  EXPECT_EQ(same.RegisterWithManager(), RAF_STATUS_DUPLICATE_TABLE);
  EXPECT_EQ(RemoteManager::RegisterClass(manager_.get()), RAF_STATUS_DUPLICATE_TABLE);
  EXPECT_EQ(RemoteManager::RegisterClass(&otherTable), 0);
  EXPECT_EQ(unnamed.RegisterWithManager(), RAF_STATUS_BAD_NAME);
  EXPECT_EQ(RemoteManager::RegisterClass(nullptr), RAF_STATUS_BAD_NAME);
  RemoteManager* remote = RemoteManager::GetManager();
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(remote->FindTableManager(rafdemo::kApplication, rafdemo::kTable), manager_.get());
  EXPECT_EQ(remote->FindTableManager(rafdemo::kApplication, "DEM0000200"), &otherTable);
  EXPECT_EQ(remote->FindTableManager("demoapp", rafdemo::kTable), nullptr);
  remote->Drop();
  std::vector<raf::Manager> managers = raf::Managers();
  ASSERT_EQ(managers.size(), 2u);
  EXPECT_EQ(managers[1].table, "DEM0000200");
}

TEST_F(FrameworkTest, ADeletedManagerIsForgottenWithItsRequests) {
  auto going = std::make_unique<rafdemo::DemoManager>(rafdemo::kApplication, "DEM0000200");
  ASSERT_EQ(going->RegisterWithManager(), 0);
  raf::RequestSpec spec = demoSpec();
  spec.table = "DEM0000200";
  uint32_t handle = raf::OpenRequest(spec);
  ASSERT_NE(handle, 0u);
  going->Shutdown(0);
  going.reset();
  EXPECT_EQ(raf::Managers().size(), 1u);
  EXPECT_EQ(raf::OpenRequest(spec), 0u) << "no manager serves the table";
}

TEST_F(FrameworkTest, NoRequestOpensWithoutAManagerOrAfterShutDown) {
  raf::RequestSpec unknown = demoSpec();
  unknown.table = "NOSUCHTBL0";
  EXPECT_EQ(raf::OpenRequest(unknown), 0u);
  manager_->refuseRequests = true;
  EXPECT_EQ(raf::OpenRequest(demoSpec()), 0u);
  manager_->refuseRequests = false;
  uint32_t open = raf::OpenRequest(demoSpec());
  RAF_Shutdown(1);
  EXPECT_EQ(Pxraf::UseHandle(open), nullptr) << "the shut-down ends every request";
  EXPECT_EQ(manager_->requestsDeleted.load(), 1);
  EXPECT_EQ(raf::OpenRequest(demoSpec()), 0u);
  EXPECT_EQ(RemoteManager::GetManager(), nullptr);
}

}  // namespace
