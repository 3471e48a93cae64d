// With the message-console switch on, Dorvane_Message becomes a console message of the
// management server instead of an action. The switch is read once per process: this
// program sets it before anything reads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "action_dispatch_fixture.h"
#include "raf.h"
#include "trace_capture.h"

namespace {

const bool switchedOn = setenv("ZEVA_DMC_COMMAND", "Y", 1) == 0;

TEST_F(ActionDispatchTest, DorvaneMessageMakesAConsoleMessageAndNoAction) {
  ASSERT_TRUE(switchedOn);
  raf::TakeConsoleMessages();
  raf::CommandOutcome outcome =
      raf::FirePolicyCommand({kSubnode}, "Dorvane_Message CAT=SYS SEV=W MSG=a\"\"b\"\"c");
  EXPECT_EQ(outcome.results, 0);
  EXPECT_TRUE(outcome.finished);
  std::vector<raf::ConsoleMessage> messages = raf::TakeConsoleMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].severity, "W");
  EXPECT_EQ(messages[0].category, "SYS");
  EXPECT_EQ(messages[0].text, "a\"b\"c");
  EXPECT_EQ(nextAction(kSilenceMs).fields, "");
}

TEST_F(ActionDispatchTest, AMessageWithoutItsKeywordsIsNeitherAMessageNorAnAction) {
  raf::TakeConsoleMessages();
  const char* const incomplete[] = {"Dorvane_Message SEV=W MSG=text", "Dorvane_Message CAT=SYS MSG=text",
                                    "Dorvane_Message CAT=SYS SEV=W", "Dorvane_Message"};
  for (const char* command : incomplete) {
    SCOPED_TRACE(command);
    TraceCapture trace;
    EXPECT_EQ(raf::FirePolicyCommand({kSubnode}, command).results, 0);
    EXPECT_TRUE(trace.contains("Error: No ") || trace.contains("Error: ZEV0_ConvertStringToUpper failed"))
        << trace.take();
  }
  EXPECT_TRUE(raf::TakeConsoleMessages().empty());
  EXPECT_EQ(nextAction(kSilenceMs).fields, "");
}

TEST_F(ActionDispatchTest, OtherActionsStillGoToTheDataProviders) {
  EXPECT_EQ(raf::FirePolicyCommand({kSubnode}, "LOG now").results, 0);
  EXPECT_EQ(nextAction().fields, "10=4192 100=1 150=_POLNAME_ 21=src1:DEMOAPP00 110=LOG 130=now");
}

}  // namespace
