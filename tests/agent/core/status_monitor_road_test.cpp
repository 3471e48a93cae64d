// The status monitor, the application probes and the user tables, end to end: each case
// is one agent process (agent_road.h) with its DCH server, a data provider as a raw peer
// and the management server played by the framework stand-in's driver.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "agent_road.h"
#include "application_probe_list.h"
#include "eventually.h"
#include "manual_clock.h"
#include "pinned_agent.h"
#include "user_data_list.h"
#include "zev0/prodspec.h"

namespace {

const std::vector<rawdch::Group> kPolledAndEvents = {{"PGRP", "polled rows", 'P', 300, kNameAndCount},
                                                     {"EGRP", "event rows", 'E', 300, kNameAndCount}};
const std::vector<rawdch::Group> kPolled = {{"PGRP", "polled rows", 'P', 300, kNameAndCount}};

std::string Padded(const std::string& text) { return text + std::string(32 - text.size(), ' '); }

// The application registered and its source of PGRP online: the subnode registered and
// the tables' data threads parked.
void BringOnline(AgentRoad& road, RoadProvider& provider, uint32_t* polled) {
  provider.registerApplication("MYAPP", kPolledAndEvents);
  *polled = provider.online("MYAPP", "PGRP", "peerhost");
  ASSERT_TRUE(road.subnodeOnline("peerhost:MYAPP00"));
  ASSERT_TRUE(road.definitionReady("MYAPP", {"PGRP", "EGRP"}));
}

// Both groups of the application online for the source.
void BringBothOnline(AgentRoad& road, RoadProvider& provider, uint32_t* polled, uint32_t* events) {
  ASSERT_NO_FATAL_FAILURE(BringOnline(road, provider, polled));
  *events = provider.online("MYAPP", "EGRP", "peerhost");
  ASSERT_TRUE(road.traced("Note: Ignoring subnode <peerhost:MYAPP00>"));
}

// The application has gone: its subnode offline, its probe and both its tables' data
// threads ended.
void ExpectApplicationEnded(AgentRoad& road) {
  EXPECT_TRUE(road.subnodeOffline("peerhost:MYAPP00"));
  EXPECT_TRUE(road.traced("Leaving startNewProbe for applName <MYAPP> errors=0"));
  EXPECT_TRUE(road.traced("Ending waitOnDP thread for applKey<MYA>", 2));
}

// A later online builds the application again (the provider has it registered).
void ExpectBuiltAgain(AgentRoad& road, RoadProvider& provider) {
  provider.online("MYAPP", "PGRP", "peerhost");
  EXPECT_TRUE(road.subnodeOnline("peerhost:MYAPP00"));
  EXPECT_EQ(road.trace().count("Starting probe for application <MYAPP>"), 2);
}

TEST(StatusMonitorRoad, ANewApplicationGetsOneProbeAndItsSourceOneSubnode) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    provider.registerApplication("MYAPP", kPolledAndEvents);
    provider.online("MYAPP", "PGRP", "peerhost");
    ASSERT_TRUE(road.subnodeOnline("peerhost:MYAPP00"));
    std::vector<raf::Subnode> subnodes = raf::Subnodes();
    ASSERT_EQ(subnodes.size(), 1u);
    std::string affinityCode = ZEV0_QueryProductSpec(7);
    EXPECT_EQ(subnodes[0].affinity, affinityCode.substr(0, 32) + "00000000071");
    EXPECT_EQ(subnodes[0].application, "MYAPP");
    EXPECT_EQ(subnodes[0].version, "03.00.00");
    userDataList* definition = startedProbes()->getUDLPtr("MYAPP");
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->status(), 1) << "marked built";

    provider.online("MYAPP", "EGRP", "peerhost");
    EXPECT_TRUE(road.traced(
        "Note: Ignoring subnode <peerhost:MYAPP00> registration request.  Subnode already registered."));
    EXPECT_EQ(road.trace().count("Starting probe for application <MYAPP>"), 1);
    EXPECT_EQ(raf::Subnodes().size(), 1u);
  });
}

TEST(StatusMonitorRoad, RequestsGetTheRowsOfTheirOnlineSources) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    uint32_t polled;
    ASSERT_NO_FATAL_FAILURE(BringOnline(road, provider, &polled));
    const std::string table = TableOf("MYAPP", "PGRP");

    // A report ignores the thresholds; a P table keeps only its latest row.
    raf::RequestSpec report = Request("MYAPP", "PGRP", {"peerhost:MYAPP00"});
    report.predicates = {{"DV2", 6, "100"}};
    uint32_t reportHandle = raf::OpenRequest(report);
    ASSERT_NE(reportHandle, 0u);
    provider.sendNameAndCount(polled, "abc", 7);
    provider.sendNameAndCount(polled, "xyz", 8);
    ASSERT_TRUE(road.filed(table, "peerhost", 2));
    std::vector<NameAndCountRow> rows = SampleRows(reportHandle);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].originNode, Padded("peerhost:MYAPP00"));
    EXPECT_EQ(rows[0].name, "xyz");
    EXPECT_EQ(rows[0].count, 8);

    WithAgent(reportHandle, [](zev_dorvan_agent& agent) {
      EXPECT_EQ(agent.NumColumns(), 2);
      const char* expected[][2] = {{"ORIGINNODE", "ORIGINNODE"}, {"DV1", "Name"}, {"DV2", "Count"}};
      for (int column = 0; column <= 2; ++column) {
        ColumnInfo info{};
        ASSERT_EQ(agent.GetColumnInfo(&info, column), 0);
        EXPECT_STREQ(info.name, expected[column][0]);
        EXPECT_STREQ(info.attributeName, expected[column][1]);
      }
      ColumnInfo beyond{};
      EXPECT_EQ(agent.GetColumnInfo(&beyond, 3), RAF_STATUS_BAD_COLUMN);
    });

    // An event row reaches an open event request at once.
    uint32_t events = provider.online("MYAPP", "EGRP", "peerhost");
    ASSERT_TRUE(road.traced("Note: Ignoring subnode <peerhost:MYAPP00>"));
    uint32_t eventHandle = raf::OpenRequest(Request("MYAPP", "EGRP", {"peerhost:MYAPP00"}, 4, "SIT_EVENT"));
    ASSERT_NE(eventHandle, 0u);
    provider.sendNameAndCount(events, "evt", 1);
    std::vector<std::vector<std::string>> batches;
    ASSERT_TRUE(Eventually(
        [&] {
          for (auto& batch : raf::TakeEventBatches(eventHandle)) batches.push_back(batch);
          return !batches.empty();
        },
        kRoadWaitMs));
    ASSERT_EQ(batches[0].size(), 1u);
    EXPECT_EQ(RowsOf(batches[0])[0].name, "evt");
    EXPECT_EQ(RowsOf(batches[0])[0].originNode, Padded("peerhost:MYAPP00"));

    // A request made before its source is online is deferred, and emits after the online;
    // another application's subnode is neither emitted nor deferred.
    uint32_t deferred = raf::OpenRequest(Request("MYAPP", "PGRP", {"later:MYAPP00", "peerhost:OTHER00"}));
    EXPECT_TRUE(SampleRows(deferred).empty());
    EXPECT_TRUE(road.traced("for <MYA/later:MYAPP00/" + table + "> added to defer queue."));
    EXPECT_TRUE(road.traced("HIST subnode<peerhost:OTHER00> not part of applKey<MYA>."));
    EXPECT_EQ(road.trace().count("peerhost:OTHER00/" + table + "> added to defer queue."), 0);
    uint32_t later = provider.online("MYAPP", "PGRP", "later");
    ASSERT_TRUE(road.subnodeOnline("later:MYAPP00"));
    EXPECT_TRUE(road.traced("subnode<later:MYAPP00> table<" + table + "> kind 0"));
    provider.sendNameAndCount(later, "new", 5);
    ASSERT_TRUE(road.filed(table, "later", 1));
    rows = SampleRows(deferred);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].originNode, Padded("later:MYAPP00"));
    EXPECT_EQ(rows[0].name, "new");
  });
}

TEST(StatusMonitorRoad, APolledSituationHandsItsPredicateToTheDataProviders) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    uint32_t polled;
    ASSERT_NO_FATAL_FAILURE(BringOnline(road, provider, &polled));
    const std::string table = TableOf("MYAPP", "PGRP");
    RoadProvider& rules = road.newProvider();
    rules.waitForActions(2, "peerhost");

    raf::RequestSpec situation = Request("MYAPP", "PGRP", {"peerhost:MYAPP00"}, 1, "SIT_P");
    situation.predicates = {{"DV2", 6, "5"}, {"DV1", 1, "abc"}};
    uint32_t handle = raf::OpenRequest(situation);
    ASSERT_NE(handle, 0u);
    rawdch::ActionMessage start = rules.nextAction(kRoadWaitMs);
    ASSERT_TRUE(start.valid);
    EXPECT_EQ(start.name, "RULESTART");
    EXPECT_EQ(start.actionType, 2);
    EXPECT_EQ(start.owner, "SIT_P");
    EXPECT_EQ(start.node, "peerhost:MYAPPPGRP00");
    EXPECT_EQ(start.parms, "INTERVAL=60 APPLNAME=MYAPP ATTRGROUP=PGRP ATTRIBUTES=(Count GT 5) (Name EQ abc)");

    // Samples return only the rows that meet the predicate.
    provider.sendNameAndCount(polled, "abc", 7);
    ASSERT_TRUE(road.filed(table, "peerhost", 1));
    EXPECT_EQ(SampleRows(handle).size(), 1u);
    provider.sendNameAndCount(polled, "abc", 3);
    ASSERT_TRUE(road.filed(table, "peerhost", 2));
    EXPECT_TRUE(SampleRows(handle).empty());
    provider.sendNameAndCount(polled, "abd", 9);
    ASSERT_TRUE(road.filed(table, "peerhost", 3));
    EXPECT_TRUE(SampleRows(handle).empty());

    ASSERT_TRUE(raf::CloseRequest(handle));
    rawdch::ActionMessage stop = rules.nextAction(kRoadWaitMs);
    ASSERT_TRUE(stop.valid);
    EXPECT_EQ(stop.name, "RULESTOP");
    EXPECT_EQ(stop.actionID, start.actionID);
    EXPECT_FALSE(stop.hasParms);

    // An operator the data providers do not know sends no RULESTART: at creation the
    // request goes on, at a sample it goes in error.
    raf::RequestSpec unknown = Request("MYAPP", "PGRP", {"peerhost:MYAPP00"}, 1, "SIT_UNKNOWN");
    unknown.predicates = {{"DV2", 7, "5"}};
    uint32_t atCreation = raf::OpenRequest(unknown);
    EXPECT_FALSE(rules.nextAction(kRoadSilenceMs).valid);
    SampleRows(atCreation);
    WithAgent(atCreation, [](zev_dorvan_agent& agent) { EXPECT_EQ(agent.status(), 0); });
    unknown.subnodes = {"second:MYAPP00"};
    uint32_t atSample = raf::OpenRequest(unknown);
    WithAgent(atSample, [](zev_dorvan_agent& agent) { EXPECT_EQ(agent.status(), 0); });
    provider.online("MYAPP", "PGRP", "second");
    ASSERT_TRUE(road.subnodeOnline("second:MYAPP00"));
    SampleRows(atSample);
    WithAgent(atSample, [](zev_dorvan_agent& agent) { EXPECT_EQ(agent.status(), 1); });
    EXPECT_EQ(road.trace().count("Error: Unrecognized triplet operator<7>"), 2);
  });
}

TEST(StatusMonitorRoad, OfflineDeregistersWithTheLastGroupAndEndsTheProbeWithTheLastSource) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    uint32_t polled, events;
    ASSERT_NO_FATAL_FAILURE(BringBothOnline(road, provider, &polled, &events));

    provider.offline(polled);
    EXPECT_TRUE(road.traced(
        "Note: Subnode <peerhost:MYAPP00> not Deregistered because it had other sources still online."));
    EXPECT_TRUE(road.subnodeOnline("peerhost:MYAPP00", 0));
    EXPECT_EQ(road.trace().count("Leaving startNewProbe"), 0);

    provider.offline(events);
    ExpectApplicationEnded(road);
    EXPECT_TRUE(road.traced("Application <MYAPP> removed. Number of applications currently active: 0"));
    ExpectBuiltAgain(road, provider);
  });
}

TEST(StatusMonitorRoad, AClosedConnectionDuringSamplesEndsTheApplication) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    uint32_t polled, events;
    ASSERT_NO_FATAL_FAILURE(BringBothOnline(road, provider, &polled, &events));
    uint32_t report = raf::OpenRequest(Request("MYAPP", "PGRP", {"peerhost:MYAPP00"}));
    provider.sendNameAndCount(polled, "abc", 7);
    ASSERT_TRUE(road.filed(TableOf("MYAPP", "PGRP"), "peerhost", 1));

    std::atomic<bool> stop{false};
    std::atomic<int> samples{0};
    std::thread sampler([&] {
      while (!stop && raf::Sample(report, nullptr)) ++samples;
    });
    ASSERT_TRUE(Eventually([&] { return samples > 0; }, kRoadWaitMs));
    provider.close();
    ExpectApplicationEnded(road);
    int before = samples;
    EXPECT_TRUE(Eventually([&] { return samples > before + 2; }, kRoadWaitMs)) << "samples go on";
    stop = true;
    sampler.join();
    EXPECT_TRUE(SampleRows(report).empty()) << "the source's rows went with it";

    RoadProvider& again = road.newProvider();
    again.registerApplication("MYAPP", kPolledAndEvents);
    ExpectBuiltAgain(road, again);
  });
}

TEST(StatusMonitorRoad, ANewReleaseRegistersItsSubnodeAndDeletesThePriorOne) {
  RunScenario({}, [](AgentRoad& road) {
    RoadProvider& first = road.newProvider();
    first.registerApplication("MYAPP", kPolled);
    first.online("MYAPP", "PGRP", "peerhost");
    ASSERT_TRUE(road.subnodeOnline("peerhost:MYAPP00"));
    first.close();
    ASSERT_TRUE(road.subnodeOffline("peerhost:MYAPP00"));
    ASSERT_TRUE(road.probesEnded());

    // The attributes in another order: a new release of the application.
    RoadProvider& second = road.newProvider();
    second.registerApplication("MYAPP", {{"PGRP", "polled rows", 'P', 300, "Count,C,4, ,a count;Name,D,8, ,the name;"}});
    second.online("MYAPP", "PGRP", "peerhost");
    EXPECT_TRUE(road.subnodeOnline("peerhost:MYAPP01"));
    EXPECT_TRUE(road.subnodeGone("peerhost:MYAPP00"));
    std::string version;
    for (const raf::Subnode& subnode : raf::Subnodes())
      if (subnode.name == "peerhost:MYAPP01") version = subnode.version;
    EXPECT_EQ(version, "03.01.00");
  });
}

TEST(StatusMonitorRoad, TheApplicationLimitRefusesASecondApplication) {
  RunScenario({"ZEVA_MAX_APPLICATIONS=1"}, [](AgentRoad& road) {
    RoadProvider& provider = road.newProvider();
    provider.registerApplication("MYAPP", kPolled);
    provider.registerApplication("OTHAP", kPolled);
    provider.online("MYAPP", "PGRP", "peerhost");
    ASSERT_TRUE(road.subnodeOnline("peerhost:MYAPP00"));
    provider.online("OTHAP", "PGRP", "peerhost");
    EXPECT_TRUE(road.traced("Error: Maximum<1> number of applications allowed have been started."));
    EXPECT_EQ(road.trace().count("Starting probe for application"), 1);
    EXPECT_TRUE(road.subnodeGone("peerhost:OTHAP00", 0));
  });
}

// The definition's waits run on the basic services' clock: a test's clock lets them run
// out at once.
TEST(StatusMonitorRoad, ADefinitionThatCannotBeBuiltEndsItsProbeAndRefusesLaterNotices) {
  RunScenario({}, [](AgentRoad& road) {
    ManualClock clock;
    RoadProvider& provider = road.newProvider();
    provider.registerApplication("BADAP", {{"PGRP", "polled rows", 'P', 300, "Name,D,8, ,the name;Odd,O,4, ,odd;"}});
    provider.online("BADAP", "PGRP", "peerhost");
    EXPECT_TRUE(road.traced("Error: WaitForUDL failed, rc: 1"));
    EXPECT_TRUE(road.traced("Leaving startNewProbe for applName <BADAP> errors=1"));
    EXPECT_EQ(road.trace().count("Signaling for userDataList[BADAP]"), 0);

    provider.online("BADAP", "PGRP", "second");
    EXPECT_TRUE(road.traced("CASE - PROBE_ENDED_IN_ERRORS for application <BADAP>"));
    EXPECT_TRUE(road.traced("Error: processing ONLINE request", 2));
    EXPECT_EQ(road.trace().count("Starting probe for application <BADAP>"), 1);
    EXPECT_TRUE(raf::Subnodes().empty());
  });
}

}  // namespace
