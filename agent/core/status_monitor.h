// The data-provider status monitor: a detached thread that, for the life of the agent,
// waits at the agent's own DCH server for source status notices and turns each into
// framework work (subnode_registration.h). After 100 failed waits in all it ends.
#pragma once

// Starts the monitor, detached. False (traced) when the thread could not be created.
bool startStatusMonitor();

// For an agent that is ending: returns once the notice in hand, if any, is handled; the
// monitor handles none after it (it stays parked until the process ends).
void stopStatusMonitor();

// The thread body. Without the product's subnode affinity code the process ends (exit
// code 1). Returns null.
void* monitorDPStatus(void* unused);

// Handles one notice text ("application,group,source,code") with the 43-character
// subnode affinity.
void handleStatusNotice(const char* text, const char* affinity);
