// The probe of one application: a detached thread that builds the application's
// definition (userDataList) from the agent's DCH server, hands its tables' columns to
// their managers, stores it in the probe list and signals the status monitor, then
// waits until the application's last source has gone, and deletes the definition (which
// stops every table's data thread).
//
// A definition that cannot be built is never signalled: the monitor's wait runs out. The
// probe then deletes what it built and ends.
#pragma once

#include <memory>

class probeSignals;

// Starts the probe thread of the application; the signals are its record's. False (traced)
// when the thread could not be created.
bool startProbeThread(const char* applName, std::shared_ptr<probeSignals> signals);

// The thread body; its argument comes from startProbeThread. Returns null.
void* startNewProbe(void* probe);
