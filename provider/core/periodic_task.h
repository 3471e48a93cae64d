// The data provider's clock: one thread that wakes the DCH client when work waits,
// retries delayed registrations, orders the offline of sources whose rows have
// expired, drops idle socket partners, ends summary intervals, drives the SNMP
// data provider's reports, and adapts its cycle time to the work it finds. At
// shut-down it keeps waking the others until it is the last thread.
#pragma once

struct ProcessEntry;

// Thread routine (ZEVP_CreateProcess).
void ZEVP_TaskPeriodical(ProcessEntry* entry);
