// The debug switches of the SNMP manager's areas: a line of an area is written when
// its unit's class is on, or while the area's switch is on, whatever the class.
#include <gtest/gtest.h>

#include "debug_switches.h"
#include "trace_capture.h"
#include "zevs/snmp_data_provider.h"

namespace {

TEST(DebugTraceRuleTest, AnAreasLinesAreWrittenWhenItsSwitchOrItsTraceClassIsOn) {
  const struct {
    int32_t trapSwitch;
    const char* classes;
    bool written;
  } cases[] = {
      {0, "*=0x80", false},
      {1, "*=0x80", true},
      {0, "*=0xc0", true},  // the flow class of the lines
  };
  for (const auto& tested : cases) {
    SCOPED_TRACE(std::string(tested.classes) + (tested.trapSwitch ? " with the switch" : ""));
    ZEVS_DEBUG_Trap = tested.trapSwitch;
    TraceCapture capture(tested.classes);
    EXPECT_EQ(ZEVS_LoadWinSNMPlibrary(), 0);
    EXPECT_EQ(capture.contains("ZEVS_LoadWinSNMPlibrary entry"), tested.written);
    EXPECT_EQ(capture.contains("ZEVS_LoadWinSNMPlibrary exit"), tested.written);
  }
  ZEVS_DEBUG_Trap = 0;
}

}  // namespace
