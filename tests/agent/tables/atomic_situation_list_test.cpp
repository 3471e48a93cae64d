#include "atomic_situation_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;

TEST(AtomicSituationsTest, TheAgentsListIsThereOnlyWhilePublished) {
  EXPECT_EQ(atomicSituations(), nullptr);
  atomicSituationList list;
  setAtomicSituations(&list);
  EXPECT_EQ(atomicSituations(), &list);
  setAtomicSituations(nullptr);
  EXPECT_EQ(atomicSituations(), nullptr);
}

TEST(AtomicSituationListTest, AddingRefusesANameWithTheSameColumnTwiceAndFindsTheFirstOfAName) {
  TraceCapture capture("*=0xff");
  atomicSituationList list;
  EXPECT_EQ(list.getNumberOfElements(), 0);
  atomicSituationEntry* first = list.addEntry("Disk_Full", 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(list.addEntry("Disk_Full", 3), nullptr);
  EXPECT_TRUE(
      capture.contains("Error: unable to add duplicate atomicSituationEntry for situation <Disk_Full> columnNumber 3"));
  atomicSituationEntry* second = list.addEntry("Disk_Full", 4);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(capture.contains("Warning: an atomicSituationEntry object already exists for situation <Disk_Full>"));
  EXPECT_EQ(list.addEntry("", 1), nullptr);
  EXPECT_EQ(list.addEntry(nullptr, 1), nullptr);
  EXPECT_TRUE(capture.contains("Error: No situation name was supplied. Unable to allocate atomicSituationEntry."));
  EXPECT_EQ(list.getNumberOfElements(), 2);
  EXPECT_EQ(list.findEntry("Disk_Full"), first);
  EXPECT_EQ(second->getColumnNumber(), 4);
}

TEST(AtomicSituationListTest, FindEntryComparesWholeNamesExactly) {
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Cpu_High", 2);
  EXPECT_EQ(list.findEntry("Cpu_High"), entry);
  for (const char* other : {"cpu_high", "Cpu", "Cpu_High_2", ""}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(list.findEntry(other), nullptr);
  }
}

TEST(AtomicSituationEntryTest, RemovingTheEventListLeavesTheEntryWithoutOne) {
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Cpu_High", 2);
  EXPECT_EQ(entry->getAtomicEventList(), nullptr);
  entry->removeAtomicEventList();  // none: unchanged
  EXPECT_EQ(entry->getAtomicEventList(), nullptr);
  atomicEventList* events = entry->addAtomicEventList();
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(events->owner(), entry);
  EXPECT_EQ(entry->getAtomicEventList(), events);
  entry->removeAtomicEventList();
  EXPECT_EQ(entry->getAtomicEventList(), nullptr);
}

// The fault: the DCH server deleted a situation's event list without a lock while a
// table thread was using it. Removal now waits for the list's lock.
TEST(AtomicSituationEntryTest, RegressionRemovingTheEventListWaitsForTheListsLock) {
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Cpu_High", 2);
  ASSERT_EQ(list.getLock(), 0);
  entry->addAtomicEventList();  // a table thread at work on the list
  auto removal = std::async(std::launch::async, [entry] { entry->removeAtomicEventList(); });
  EXPECT_EQ(removal.wait_for(200ms), std::future_status::timeout) << "removed under the user's feet";
  EXPECT_NE(entry->getAtomicEventList(), nullptr);
  ASSERT_EQ(list.releaseLock(), 0);
  ASSERT_EQ(removal.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(entry->getAtomicEventList(), nullptr);
}

}  // namespace
