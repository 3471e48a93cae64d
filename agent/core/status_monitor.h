// The data-provider status monitor: a detached thread that, for the life of the agent,
// waits at the agent's own DCH server for source status notices and turns each into
// framework work (subnode_registration.h). After 100 failed waits in all it ends.
#pragma once

// Starts the monitor, detached. False (traced) when the thread could not be created.
bool startStatusMonitor();

// The thread body. Without the product's subnode affinity code the process ends (exit
// code 1). Returns null.
void* monitorDPStatus(void* unused);

// Handles one notice text ("application,group,source,code") with the 43-character
// subnode affinity.
void handleStatusNotice(const char* text, const char* affinity);
