#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "atomic_situation_list.h"
#include "manual_clock.h"
#include "trace_capture.h"

namespace {

using Admission = atomicAdmission;

// One action of the situation: the clock moves on, then the value comes.
struct Step {
  int64_t advance;
  const char* value;
  Admission expected;
};

struct WindowCase {
  const char* name;
  int interval;
  std::vector<Step> steps;
};

const std::string k64(64, 'v');
const std::string k65 = k64 + "w";

TEST(AtomicActionWindowTest, AValueActsOncePerWindowInWhichItOccurs) {
  const WindowCase cases[] = {
      {"a repeat within the window is dropped", 60, {{0, "A", Admission::act}, {5, "A", Admission::duplicate}}},
      {"acts again after a window without it",
       60,
       {{0, "A", Admission::act}, {51, "C", Admission::act}, {51, "C", Admission::duplicate}, {1, "A", Admission::act}}},
      {"stays suppressed while it recurs in every window",
       60,
       {{0, "A", Admission::act},
        {51, "A", Admission::duplicate},
        {51, "A", Admission::duplicate},
        {51, "A", Admission::duplicate},
        {51, "A", Admission::duplicate}}},
      {"a window goes on for interval - 10 seconds",
       60,
       {{0, "A", Admission::act}, {51, "C", Admission::act}, {50, "A", Admission::duplicate}}},
      {"an interval below 10 never cleans up",
       5,
       {{0, "A", Admission::act}, {1000, "A", Admission::duplicate}, {100000, "A", Admission::duplicate}}},
      {"an empty value is refused and nothing is recorded",
       60,
       {{0, "", Admission::noValue}, {0, nullptr, Admission::noValue}, {0, "A", Admission::act}}},
      {"a value over 64 characters is acted upon every time",
       60,
       {{0, k64.c_str(), Admission::act},
        {1, k65.c_str(), Admission::act},
        {1, k65.c_str(), Admission::act},
        {1, k64.c_str(), Admission::duplicate}}},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    ManualClock clock;
    atomicSituationList list;
    atomicSituationEntry* entry = list.addEntry("Disk_Full", 2);
    int stepNumber = 0;
    for (const Step& step : c.steps) {
      SCOPED_TRACE("step " + std::to_string(++stepNumber));
      clock.advance(step.advance);
      EXPECT_EQ(list.admitAction(entry, c.interval, step.value), step.expected);
    }
  }
}

TEST(AtomicActionWindowTest, TheWindowTracesWhatItDecides) {
  ManualClock clock;
  TraceCapture capture("*=0xff");
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Disk_Full", 2);
  list.recordInterval(entry, 60);
  EXPECT_EQ(entry->getSituationInterval(), 60);
  list.admitAction(entry, 60, "A");
  list.admitAction(entry, 60, "A");
  list.admitAction(entry, 60, "");
  list.admitAction(entry, 60, k65.c_str());
  EXPECT_TRUE(capture.contains("Atomic situation <Disk_Full> column number <2> has an interval of 60 seconds"));
  EXPECT_TRUE(capture.contains("Allocated atomicEventList @"));
  EXPECT_TRUE(capture.contains("Successfully added atomicEventEntry object @"));
  EXPECT_TRUE(capture.contains("Duplicate action request for atomic attribute value <A> node @"));
  EXPECT_TRUE(capture.contains("Error: No atomic value was supplied for situation <Disk_Full> column number <2>"));
  EXPECT_TRUE(capture.contains("is longer than 64 characters and is not de-duplicated"));
}

TEST(AtomicActionWindowTest, TheFirstActionAfterARuleStopActs) {
  ManualClock clock;
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Disk_Full", 2);
  EXPECT_EQ(list.admitAction(entry, 60, "A"), Admission::act);
  EXPECT_EQ(list.admitAction(entry, 60, "A"), Admission::duplicate);
  entry->removeAtomicEventList();
  EXPECT_EQ(list.admitAction(entry, 60, "A"), Admission::act);
}

// The fault: a rule stop on the DCH server's thread could delete a situation's event
// list while an action on a framework thread was using it. The window now works under
// the situation list's lock, which the removal also takes.
TEST(AtomicActionWindowTest, RegressionARuleStopCannotDeleteTheEventListUnderAnAction) {
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Disk_Full", 2);
  std::atomic<bool> stop{false};
  std::thread ruleStops([&] {
    while (!stop.load()) entry->removeAtomicEventList();
  });
  for (int action = 0; action < 2000; ++action)
    list.admitAction(entry, 60, action % 2 == 0 ? "A" : "B");
  stop.store(true);
  ruleStops.join();
}

TEST(AtomicEventListTest, ValuesAreAddedFoundCleanedUpAndRemoved) {
  ManualClock clock;
  TraceCapture capture("*=0xff");
  atomicSituationList list;
  atomicSituationEntry* entry = list.addEntry("Cpu_High", 1);
  ASSERT_EQ(list.getLock(), 0);
  atomicEventList* events = entry->addAtomicEventList();
  ASSERT_EQ(list.releaseLock(), 0);
  EXPECT_EQ(events->addEntry(""), nullptr);
  EXPECT_TRUE(capture.contains("Error: No atomic value was supplied. Unable to allocate atomicEventEntry."));
  EXPECT_EQ(events->addEntry(k65.c_str()), nullptr);
  atomicEventEntry* old = events->addEntry("old");
  clock.advance(10);
  atomicEventEntry* recent = events->addEntry("recent");
  ASSERT_NE(old, nullptr);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(events->findEntry("old"), old);
  EXPECT_EQ(events->findEntry("ol"), nullptr);
  events->setLastTimeStamp(recent->getTimeStamp());
  events->cleanupEntries();
  EXPECT_EQ(events->findEntry("old"), nullptr);
  EXPECT_EQ(events->findEntry("recent"), recent);
  events->removeEntry(recent);
  EXPECT_EQ(events->getNumberOfElements(), 0);
  EXPECT_TRUE(capture.contains("Number of elements equals 0, resetting list"));
  events->addEntry("a");
  events->addEntry("b");
  events->emptyList();
  EXPECT_EQ(events->getNumberOfElements(), 0);
}

TEST(AtomicSituationListTest, EntriesAreRemovedOneByOneOrAllAtOnce) {
  TraceCapture capture("*=0xff");
  atomicSituationList list;
  atomicSituationEntry* first = list.addEntry("One", 1);
  list.addEntry("Two", 2);
  list.addEntry("Three", 3);
  list.removeEntry(first);
  EXPECT_TRUE(capture.contains("is first in list, resetting head of list"));
  EXPECT_EQ(list.findEntry("One"), nullptr);
  EXPECT_EQ(list.getNumberOfElements(), 2);
  list.emptyList();
  EXPECT_EQ(list.getNumberOfElements(), 0);
  EXPECT_EQ(list.findEntry("Two"), nullptr);
}

}  // namespace
