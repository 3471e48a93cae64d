// The agent's data providers as threads of its own: one joinable thread per entry of
// the start table, and the wait for them all.
#pragma once

struct DPstartTable;

// Starts a thread for each entry in table order: the SNMP data provider for SNMP, none
// for APPC, the data-provider engine for the others. An entry whose thread could not be
// made stays not started; the others start all the same.
void startDataProviderThreads(DPstartTable* table);

// Joins the started threads in table order. False when a join failed (the remaining
// threads are not waited for).
bool joinDataProviderThreads(DPstartTable* table);

// The number of entries whose thread was started.
int startedDataProviders(const DPstartTable& table);
