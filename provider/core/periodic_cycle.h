// The cycle time of the periodic task: it grows while the data provider is idle and
// shrinks while it is busy or ending.
#pragma once

struct PeriodicCycleSettings {
  int outageWindow = 180;      // ZEVP_TCP_OUTAGE_WINDOW: the upper bound; 0 or less none
  int scanDelayCycles = 30;    // ZEVP_SCAN_DELAY_CYCLES: idle cycles before the time doubles
  int scanMaxInterval = 60;    // ZEVP_SCAN_MAX_INTERVAL: it doubles only while below this
  int activityDelayCycles = 3; // ZEVP_ACTIVITY_DELAY_CYCLES: work units at which it halves
};

struct PeriodicCycleState {
  int cycleTime = 1;          // seconds
  int cyclesSinceChange = 0;  // counted after each sleep
};

// The seconds to sleep after a cycle that did `workUnits` units of work (an ending
// data provider counts as busy). Fewer units than the activity delay: after
// scanDelayCycles such cycles the time doubles while below the maximum; otherwise
// it halves down to 1. Either change starts the count of cycles again.
int ZEVP_NextCycleTime(const PeriodicCycleSettings& settings, PeriodicCycleState& state, int workUnits,
                       bool terminating);
