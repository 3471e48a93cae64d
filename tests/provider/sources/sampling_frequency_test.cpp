// How often a file server looks at its file, by the group's type, time-to-live,
// mode and settings.
#include "sampling_frequency.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stdout_capture.h"

namespace {

TEST(SamplingFrequencyTest, FrequencyAndItsStepsFollowTypeTimeToLiveModeAndSettings) {
  const std::string v50 = "ZEVPV50W Specification Warning: Sample frequency interval resets to default minimum.";
  const std::string v51 = "ZEVPV51W Specification Warning: Event frequency interval resets to default minimum.";
  struct Case {
    const char* label;
    char type;
    int32_t ttl;
    bool copy;
    const char* event;
    const char* factor;
    SamplingFrequency expected;
    std::vector<std::string> messages;
  } cases[] = {
      {"event, unset", 'E', 300, false, nullptr, nullptr, {15, 0, 0}, {}},
      {"event, set", 'E', 300, false, "45", nullptr, {45, 45, 45}, {}},
      {"event, 0", 'E', 300, false, "0", nullptr, {15, 0, 0}, {v51}},
      {"event, negative", 'E', 300, false, "-3", nullptr, {15, 0, 0}, {v51}},
      {"event, above the cap", 'E', 300, false, "600", nullptr, {300, 300, 30}, {}},
      {"poll, tail", 'P', 300, false, nullptr, nullptr, {60, 60, 30}, {}},
      {"poll, copy", 'P', 300, true, nullptr, nullptr, {150, 150, 30}, {}},
      {"sample, a large time-to-live is capped", 'S', 3600, false, nullptr, nullptr, {300, 300, 30}, {}},
      {"a factor of the setting keeps the larger value", 'S', 3600, false, nullptr, "4", {900, 900, 30}, {}},
      {"a factor equal to the default is capped", 'S', 3600, false, nullptr, "5", {300, 300, 30}, {}},
      {"a bad factor is ignored", 'P', 300, false, nullptr, "0", {60, 60, 30}, {}},
      {"100 seconds in steps of 33", 'P', 500, false, nullptr, nullptr, {100, 99, 33}, {}},
      {"a short time-to-live", 'K', 30, false, nullptr, nullptr, {6, 0, 0}, {}},
      {"below a second", 'P', 4, false, nullptr, nullptr, {30, 0, 0}, {v50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    StdoutCapture output;
    SamplingFrequency frequency = ZEVP_ComputeSamplingFrequency(c.type, c.ttl, c.copy, c.event, c.factor);
    EXPECT_EQ(frequency.frequency, c.expected.frequency);
    EXPECT_EQ(frequency.testFrequency, c.expected.testFrequency);
    EXPECT_EQ(frequency.testInterval, c.expected.testInterval);
    EXPECT_EQ(output.takeLines(), c.messages);
  }
}

}  // namespace
