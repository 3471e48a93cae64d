// The application probe list: its records, the look-up by application key, the clean-up
// of a source going offline, and the two handshakes between the status monitor and a
// probe.
#include "application_probe_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "manual_clock.h"
#include "samples_list.h"
#include "table_name.h"
#include "trace_capture.h"

namespace {

// Definitions the list only keeps and hands back.
userDataList* Definition(int i) {
  static char tags[4];
  return reinterpret_cast<userDataList*>(&tags[i]);
}

applDataStruct Record(const char* applName, int16_t status, userDataList* udl = nullptr) {
  applDataStruct record;
  std::snprintf(record.applName, sizeof record.applName, "%s", applName);
  record.status = status;
  record.udl = udl;
  return record;
}

class ApplicationProbeListTest : public ::testing::Test {
 protected:
  ApplicationProbeListTest() { setDataSamples(&registry_); }
  ~ApplicationProbeListTest() override { setDataSamples(nullptr); }

  // A source of the group online in the sample registry, release 00.
  void Online(const char* applName, const char* group, const char* source) {
    samplesList::SubnodeName subnode;
    char table[kTableNameSize];
    formatTableName(table, applName, group, "00");
    ASSERT_NE(registry_.onlineEntry(applName, table, group, "00", source, subnode), nullptr);
  }

  TraceCapture trace_{"*=0x90"};
  samplesList registry_;
  applicationProbeList probes_;
};

TEST_F(ApplicationProbeListTest, RecordsAreReplacedByNameAndDefinitionsFoundByTheirKey) {
  EXPECT_EQ(probes_.searchProbes("MYAPP"), 0);
  ASSERT_EQ(probes_.addEntry(Record("MYAPP", applDataStruct::kNotStarted)), 0);
  EXPECT_EQ(probes_.searchProbes("MYAPP"), applDataStruct::kNotStarted);
  applDataStruct first;
  ASSERT_TRUE(probes_.getApplDataStore("MYAPP", &first));
  ASSERT_NE(first.signals, nullptr);

  ASSERT_EQ(probes_.addEntry(Record("MYAPP", applDataStruct::kStarted)), 0);
  EXPECT_EQ(probes_.noOfElements(), 1);
  EXPECT_EQ(probes_.searchProbes("MYAPP"), applDataStruct::kStarted);
  applDataStruct replaced;
  ASSERT_TRUE(probes_.getApplDataStore("MYAPP", &replaced));
  EXPECT_EQ(replaced.signals, first.signals) << "a replaced record keeps its handshakes";
  EXPECT_FALSE(probes_.getApplDataStore("MYAPX", &replaced));

  ASSERT_EQ(probes_.addEntry(Record("OTHER", applDataStruct::kStarted)), 0);
  EXPECT_EQ(probes_.setUserDataList("OTHER", Definition(1)), 1);
  EXPECT_EQ(probes_.setUserDataList("NOAPP", Definition(2)), 0);
  EXPECT_EQ(probes_.setUserDataList("MYAPP", Definition(0)), 1);
  struct Case {
    const char* name;
    userDataList* udl;
  } cases[] = {{"MYAPP", Definition(0)}, {"MYAXYZ", Definition(0)}, {"OTH", Definition(1)}, {"NOAPP", nullptr}};
  for (const Case& c : cases) EXPECT_EQ(probes_.getUDLPtr(c.name), c.udl) << c.name;
}

TEST_F(ApplicationProbeListTest, CleanUpRemovesASourceAndWithTheLastOneTheApplication) {
  ASSERT_EQ(probes_.addEntry(Record("MYAPP", applDataStruct::kStarted, Definition(0))), 0);
  Online("MYAPP", "PGRP", "host1");
  Online("MYAPP", "PGRP", "host2");
  applDataStruct record;
  ASSERT_TRUE(probes_.getApplDataStore("MYAPP", &record));

  EXPECT_EQ(probes_.cleanUp("NOAPP", "PGRP", "00", "host1"), 1) << "no probe";
  EXPECT_EQ(probes_.cleanUp("MYAPP", "PGRP", "00", "host1"), 0) << "another source is left";
  EXPECT_EQ(registry_.noOfElements(), 1);
  EXPECT_EQ(probes_.searchProbes("MYAPP"), applDataStruct::kStarted);
  EXPECT_EQ(probes_.cleanUp("MYAPP", "PGRP", "00", "host2"), -1) << "the last source";
  EXPECT_TRUE(trace_.contains("Comparing applName <MYAPP> against <MYAPP>"));
  EXPECT_EQ(registry_.noOfElements(), 0);
  EXPECT_EQ(probes_.searchProbes("MYAPP"), 0);
  EXPECT_EQ(probes_.getUDLPtr("MYAPP"), nullptr);
  // The probe's record has gone; its wait for the exit asked meanwhile returns at once.
  EXPECT_EQ(record.signals->WaitForExit("MYAPP"), 0);
}

// A reader that holds a definition (a remote-file sample) keeps it from its probe: the
// probe, asked to exit when the application's last source goes, deletes the definition
// only once the hold is released.
TEST_F(ApplicationProbeListTest, RegressionAHeldDefinitionOutlivesItsApplicationUntilReleased) {
  ASSERT_EQ(probes_.addEntry(Record("MYAPP", applDataStruct::kStarted, Definition(0))), 0);
  Online("MYAPP", "PGRP", "host1");
  applDataStruct record;
  ASSERT_TRUE(probes_.getApplDataStore("MYAPP", &record));
  EXPECT_EQ(probes_.holdUDL("NOAPP").get(), nullptr);
  auto hold = std::make_unique<userDataListHold>(probes_.holdUDL("MYAXYZ"));
  ASSERT_EQ(hold->get(), Definition(0));

  ASSERT_EQ(probes_.cleanUp("MYAPP", "PGRP", "00", "host1"), -1);
  EXPECT_EQ(probes_.holdUDL("MYAPP").get(), nullptr) << "no new hold once the application went";
  std::atomic<bool> deleted{false};
  std::thread probe([&] {
    record.signals->WaitForExit("MYAPP");
    record.signals->holds().waitUntilReleased();
    deleted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(deleted) << "the definition is still held";
  hold.reset();
  probe.join();
  EXPECT_TRUE(deleted);
}

TEST_F(ApplicationProbeListTest, TheDefinitionWaitEndsWithTheBuiltFlagOrAfterItsRetries) {
  EXPECT_EQ(probes_.WaitForUDL("NOAPP"), 1) << "no record";
  ASSERT_EQ(probes_.addEntry(Record("MYAPP", applDataStruct::kStarted)), 0);
  {
    ManualClock clock;
    EXPECT_EQ(probes_.WaitForUDL("MYAPP"), 1);
    EXPECT_EQ(clock.sleptSeconds(), 5 * 3) << "Max_Wait_UDL() further waits, 3 seconds apart";
    EXPECT_TRUE(trace_.contains("Error: pthread_cond_wait failed. rc=110"));
  }
  std::thread probe([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    probes_.signalWaiters("MYAPP");
  });
  EXPECT_EQ(probes_.WaitForUDL("MYAPP"), 0);
  probe.join();
  EXPECT_EQ(probes_.WaitForUDL("MYAPP"), 0) << "built already";
  EXPECT_EQ(probes_.signalWaiters("NOAPP"), 1);
}

// The fault: the exit signal left no trace, so a probe that came to its wait after the
// signal waited for ever, and one woken without a signal left early.
TEST(ProbeSignalsTest, RegressionTheExitIsRememberedUntilTheProbeWaitsForIt) {
  auto signals = std::make_shared<probeSignals>();
  std::atomic<bool> left{false};
  std::thread probe([&] {
    EXPECT_EQ(signals->WaitForExit("MYAPP"), 0);
    left = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(left) << "no exit asked yet";
  EXPECT_EQ(signals->signalExit("MYAPP"), 0);
  probe.join();
  EXPECT_TRUE(left);
  EXPECT_EQ(signals->WaitForExit("MYAPP"), 0) << "a late waiter returns at once";
}

}  // namespace
