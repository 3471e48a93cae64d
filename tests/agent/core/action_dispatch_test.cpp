// The framework's automation commands as actions at a parked data provider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "action_dispatch_fixture.h"
#include "atomic_situation_list.h"
#include "manual_clock.h"
#include "raf.h"
#include "trace_capture.h"

namespace {

using rafdemo::Row;

// The fields of the 0x1060 message as the data provider receives them (action number
// apart): request code, type, owner, node, name, parameters.
std::string Forwarded(const std::string& owner, const std::string& node, const std::string& name,
                      const std::string& parms = "") {
  std::string fields = "10=4192 100=1 150=" + owner + " 21=" + node + " 110=" + name;
  return parms.empty() ? fields : fields + " 130=" + parms;
}

struct DispatchCase {
  const char* title;
  // A policy's command goes to these subnodes; a situation's comes with the row.
  bool policy;
  std::vector<std::string> subnodes;
  std::string situationRow;
  const char* table;
  const char* command;
  int result;
  std::string forwarded;  // empty: nothing reaches the data provider
  const char* traced;     // a line that must be traced, or null
};

TEST_F(ActionDispatchTest, EachCommandBecomesTheActionItNamesOrIsRefused) {
  const std::string registeredRow = Row(kSubnode, "job", 1, 0);
  const DispatchCase cases[] = {
      {"a quoted name and parameters", true, {kSubnode}, "", nullptr, "'RESTART' -f now", 0,
       Forwarded("_POLNAME_", kSubnode, "\"RESTART\"", "-f now"), "Using Policy Name holder <_POLNAME_>"},
      {"a quoted name alone", true, {kSubnode}, "", nullptr, "'RESTART'", 0,
       Forwarded("_POLNAME_", kSubnode, "\"RESTART\""), "No actionParms found in command string"},
      {"a plain name", true, {kSubnode}, "", nullptr, "LOG disk full", 0,
       Forwarded("_POLNAME_", kSubnode, "LOG", "disk full"), nullptr},
      {"quotes among the parameters", true, {kSubnode}, "", nullptr, "'CMD' -x 'y z'", 0,
       Forwarded("_POLNAME_", kSubnode, "\"CMD\"", "-x 'y z'"), nullptr},
      {"the policy's name", true, {kSubnode}, "", nullptr, "RUN NAME=P1 rest", 0,
       Forwarded("P1", kSubnode, "RUN", "rest"), "Policy Name of <P1> included"},
      {"an SNMP policy", true, {kSubnode}, "", nullptr, "SNMP walk", 0,
       Forwarded("SNMP Control", kSubnode, "SNMP", "walk"), nullptr},
      {"the first of the policy's subnodes", true, {kSubnode, "other:DEMOAPP00"}, "", nullptr, "GO", 0,
       Forwarded("_POLNAME_", kSubnode, "GO"), "Real subnode name <src1:DEMOAPP00>"},
      {"no closing quote", true, {kSubnode}, "", nullptr, "'ABC with no closing quote", 1, "",
       "Error: Invalid action command string. No closing single quote was found."},
      {"a situation on a registered subnode", false, {}, registeredRow, rafdemo::kTable, "'RESTART' now", 0,
       Forwarded("SIT_A", kUntouchedSubnode, "\"RESTART\"", "now"), "Saved subnode name <src1:DEMOAPPGRP00>"},
      {"a subnode that is not registered", false, {}, Row("src9:DEMOAPP00", "job", 1, 0), rafdemo::kTable,
       "RESTART", 1, "", "Error: subNode <src9:DEMOAPP00> is not online"},
      {"a time table", false, {}, registeredRow, "LOCALTIME", "WAKE", 0, Forwarded("SIT_A", kSubnode, "WAKE"),
       "Action for LOCALTIME or UTCTIME. Using actionNode <src1:DEMOAPP00>"},
      {"a table the subnode does not serve", false, {}, registeredRow, "OTHERTBL", "WAKE", 1, "",
       "Error: getOriginalSubnodeName(src1:DEMOAPP00) returned NULL"},
      // The subnode is the column's first 32 characters: the one beyond is not read.
      {"an origin node that fills its column", false, {},
       Row(std::string(kSubnode) + std::string(32 - std::string(kSubnode).size(), 'x'), "job", 1, 0),
       rafdemo::kTable, "RESTART", 1, "", "Real subnodeName <src1:DEMOAPP00xxxxxxxxxxxxxxxxxx>"},
  };
  uint32_t lastID = 0;
  for (const DispatchCase& dispatch : cases) {
    SCOPED_TRACE(dispatch.title);
    TraceCapture trace;
    raf::CommandOutcome outcome =
        dispatch.policy ? raf::FirePolicyCommand(dispatch.subnodes, dispatch.command)
                        : fireSituation("SIT_A", 60, dispatch.command, dispatch.situationRow, dispatch.table);
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.returned, dispatch.result);
    EXPECT_EQ(outcome.results, dispatch.result);
    EXPECT_TRUE(outcome.finished);
    ReceivedAction action = nextAction(dispatch.forwarded.empty() ? kSilenceMs : kAnswerWaitMs);
    EXPECT_EQ(action.fields, dispatch.forwarded);
    if (!dispatch.forwarded.empty()) {
      EXPECT_GT(action.actionID, lastID) << "each action its own number";
      lastID = action.actionID;
    }
    if (dispatch.traced != nullptr) {
      EXPECT_TRUE(trace.contains(dispatch.traced)) << trace.take();
    }
  }
}

TEST_F(ActionDispatchTest, APolicyWithoutSubnodesIsRefused) {
  TraceCapture trace;
  raf::CommandOutcome outcome = raf::FirePolicyCommand({}, "RESTART");
  EXPECT_EQ(outcome.results, 1);
  EXPECT_TRUE(trace.contains("Error: No subnodes in the action request."));
  EXPECT_EQ(nextAction(kSilenceMs).fields, "");
}

// With the message-console switch off, Dorvane_Message is an action like any other.
TEST_F(ActionDispatchTest, AConsoleMessageActionGoesToTheDataProvidersWhileTheSwitchIsOff) {
  raf::TakeConsoleMessages();
  raf::CommandOutcome outcome = raf::FirePolicyCommand({kSubnode}, "Dorvane_Message CAT=SYS SEV=W MSG=hi");
  EXPECT_EQ(outcome.results, 0);
  EXPECT_EQ(nextAction().fields, Forwarded("_POLNAME_", kSubnode, "Dorvane_Message", "CAT=SYS SEV=W MSG=hi"));
  EXPECT_TRUE(raf::TakeConsoleMessages().empty());
}

class AtomicActionTest : public ActionDispatchTest {
 protected:
  void SetUp() override {
    ActionDispatchTest::SetUp();
    ASSERT_NE(situations_.addEntry("SIT_ATOM", 2), nullptr);   // DV2, a 4-byte integer
    ASSERT_NE(situations_.addEntry("SIT_SHORT", 2), nullptr);
    ASSERT_NE(situations_.addEntry("SIT_TEXT", 1), nullptr);   // DV1, text
    ASSERT_NE(situations_.addEntry("SIT_GONE", 9), nullptr);   // no such column
    setAtomicSituations(&situations_);
  }
  void TearDown() override {
    setAtomicSituations(nullptr);
    ActionDispatchTest::TearDown();
  }

  // The command of the situation for a row with this count: its result, and whether the
  // data provider received it.
  std::pair<int, bool> fire(const char* situation, int interval, int32_t count, const std::string& job = "job") {
    raf::CommandOutcome outcome = fireSituation(situation, interval, "ACT", Row(kSubnode, job, count, 0));
    std::string received = nextAction(outcome.results == 0 ? kAnswerWaitMs : kSilenceMs).fields;
    return {outcome.results, !received.empty()};
  }

  ManualClock clock_;
  atomicSituationList situations_;
};

// A window lasts interval - 10 seconds; a value stays suppressed through the window after
// the one it was seen in, and acts again after a window without it.
TEST_F(AtomicActionTest, AValueActsOncePerWindowAndAgainAfterAWindowWithoutIt) {
  using Outcome = std::pair<int, bool>;
  TraceCapture trace;
  EXPECT_EQ(fire("SIT_ATOM", 30, 7), Outcome(0, true));
  EXPECT_EQ(fire("SIT_ATOM", 30, 7), Outcome(1, false)) << "a repeat within the window";
  EXPECT_TRUE(trace.contains("Duplicate action request for atomic attribute value <7>"));
  EXPECT_EQ(fire("SIT_ATOM", 30, 8), Outcome(0, true)) << "another value";
  clock_.advance(20);
  EXPECT_EQ(fire("SIT_ATOM", 30, 7), Outcome(1, false)) << "still the first window";
  clock_.advance(1);
  EXPECT_EQ(fire("SIT_ATOM", 30, 8), Outcome(1, false)) << "seen in the window before";
  clock_.advance(21);
  EXPECT_EQ(fire("SIT_ATOM", 30, 7), Outcome(0, true)) << "not seen in the window before";
  EXPECT_EQ(fire("SIT_ATOM", 30, 8), Outcome(1, false));
  EXPECT_EQ(fire("ANOTHER", 30, 7), Outcome(0, true)) << "a situation that is not atomic";
}

TEST_F(AtomicActionTest, AnIntervalBelowTenSecondsNeverEndsTheWindow) {
  using Outcome = std::pair<int, bool>;
  EXPECT_EQ(fire("SIT_SHORT", 5, 3), Outcome(0, true));
  clock_.advance(100000);
  EXPECT_EQ(fire("SIT_SHORT", 5, 3), Outcome(1, false));
}

// The interval is recorded before the column is looked up: also when the table lacks it,
// which lets every action go on.
TEST_F(AtomicActionTest, AnAtomicColumnTheTableLacksLetsEveryActionGoOn) {
  using Outcome = std::pair<int, bool>;
  TraceCapture trace;
  EXPECT_EQ(fire("SIT_GONE", 45, 7), Outcome(0, true));
  EXPECT_EQ(fire("SIT_GONE", 45, 7), Outcome(0, true));
  EXPECT_EQ(situations_.findEntry("SIT_GONE")->getSituationInterval(), 45);
  EXPECT_TRUE(trace.contains("Atomic situation <SIT_GONE> column number <9> has an interval of 45 seconds"));
  EXPECT_TRUE(trace.contains("Error: GetColumnInfo failed for column number <9> in atomic situation <SIT_GONE>"));
}

TEST_F(AtomicActionTest, ATextValueEndsAtItsFirstBlankAndAnEmptyOneIsRefused) {
  using Outcome = std::pair<int, bool>;
  TraceCapture trace;
  EXPECT_EQ(fire("SIT_TEXT", 30, 1, "alpha beta"), Outcome(0, true));
  EXPECT_EQ(fire("SIT_TEXT", 30, 2, "alpha gamma"), Outcome(1, false));
  EXPECT_TRUE(trace.contains("Processing atomic value <alpha>"));
  EXPECT_EQ(fire("SIT_TEXT", 30, 3, ""), Outcome(1, false));
  EXPECT_TRUE(trace.contains("Error: No atomic value was supplied for situation <SIT_TEXT> column number <1>"));
}

}  // namespace
