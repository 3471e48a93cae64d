// The PLOVEN-AGENTS row of an agent.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ploven_agent_entry.h"
#include "ploven_agent_row.h"
#include "text_patterns.h"

namespace {

TEST(PlovenAgentRow, ValuesInAttributeOrderWithTheTimesAsText) {
  std::unique_ptr<PlovenAgentEntry, void (*)(PlovenAgentEntry*)> entry(zevs::NewPlovenAgentEntry(),
                                                                       ZEVS_ReleasePlovenAgentEntry);
  entry->managedSystemName = zevs::CopyAgentText("AG01:hosta:LZ");
  entry->networkName = zevs::CopyAgentText("hosta");
  entry->networkAddress = zevs::CopyAgentText("10.77.0.5");
  entry->productName = zevs::CopyAgentText("Dorvane Agent");
  entry->productVersion = zevs::CopyAgentText("02.00.00");
  entry->features = zevs::CopyAgentText("Remote Commands, ");
  auto values = zevs::PlovenAgentRowValues(*entry);
  EXPECT_EQ(values[0], "AG01:hosta:LZ");
  EXPECT_EQ(values[1], "hosta");
  EXPECT_EQ(values[2], "10.77.0.5");
  EXPECT_EQ(values[3], "Dorvane Agent");
  EXPECT_EQ(values[4], "02.00.00");
  EXPECT_EQ(values[5], "Remote Commands, ");
  EXPECT_EQ(values[6], " ") << "never checked";
  EXPECT_EQ(values[7], "Initial Load") << "loaded, never registered";

  entry->lastCheckTime = 1700000000;
  entry->lastReplyTime = 1700000000;
  values = zevs::PlovenAgentRowValues(*entry);
  const std::string stamp(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \d{3})");
  EXPECT_TRUE(MatchesPattern(values[6], stamp)) << values[6];
  EXPECT_TRUE(MatchesPattern(values[7], stamp)) << values[7];
}

}  // namespace
