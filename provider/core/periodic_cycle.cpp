#include "periodic_cycle.h"

#include "trc1.h"

TRC_UNIT();

int ZEVP_NextCycleTime(const PeriodicCycleSettings& settings, PeriodicCycleState& state, int workUnits,
                       bool terminating) {
  if (workUnits < settings.activityDelayCycles && !terminating) {
    if (state.cyclesSinceChange >= settings.scanDelayCycles) {
      if (state.cycleTime < settings.scanMaxInterval) {
        state.cycleTime *= 2;
        TRC(TRC_DETAIL, "scan interval increased to %d", state.cycleTime);
      }
      state.cyclesSinceChange = 0;
    }
  } else {
    if (state.cycleTime > 1) {
      state.cycleTime /= 2;
      TRC(TRC_DETAIL, "scan interval decreased to %d", state.cycleTime);
    }
    state.cyclesSinceChange = 0;
  }
  if (settings.outageWindow > 0 && state.cycleTime > settings.outageWindow) state.cycleTime = settings.outageWindow;
  return state.cycleTime;
}
