// The steps of the agent's start-up and shut-down between its DCH server and its data
// providers, in the order start-up takes them:
//   construct the DCHserver, waitForDCHserver, DCH_api_init, createAgentLists, enter
//   the atomic situations (addAtomicSituations), startStatusMonitor (status_monitor.h)
// and at shut-down deleteAgentLists and destroy the DCHserver where no thread of the agent
// uses them any more (the agent itself keeps its lists until the process ends).
#pragma once

class DCHserver;

// Waits, without a time limit, until the server takes requests. False when its ready lock
// or its ready wait failed: start-up then starts no data provider.
bool waitForDCHserver(DCHserver& server);

// Creates the agent's four lists (the sample registry, the application probe list, the
// table-manager registry, which re-creates the managers of its work file, and the
// atomic-situation list) in that order, and publishes them.
void createAgentLists();
// Deletes the four lists in the same order, clearing each published pointer first.
void deleteAgentLists();
