// How often a file server looks at its file: every so many seconds, and for waits
// over 30 seconds in steps short enough to notice a shut-down.
#pragma once

#include <cstdint>

struct SamplingFrequency {
  int32_t frequency = 0;      // seconds between passes
  int32_t testFrequency = 0;  // over 30 seconds: the length of the wait
  int32_t testInterval = 0;   // and of one sleep step in it
};

// The frequency of a group of the data type letter and time-to-live, read in COPY
// (copyMode) or TAIL mode: for event groups the ZEVP_DP_EVENT setting (default
// 15), for the others the time-to-live divided by the ZEVP_DP_SAMPLE_FACTOR
// setting (default 5, or 2 in COPY mode), at most 300 with the default factor.
// Settings are the variables' texts, null when unset. A value below the minimum
// shows validation message ZEVPV51W or ZEVPV50W.
SamplingFrequency ZEVP_ComputeSamplingFrequency(char dataType, int32_t timeToLive, bool copyMode,
                                                const char* eventSetting, const char* factorSetting);
