// The action log's rate limit: when actions come faster than ten per 100 seconds, new
// actions (and later their results) are not logged until the rate drops or the stream
// pauses for more than a minute.
#pragma once

#include "action_table.h"

// For the record just applied to the entry (requestType 1 a routed action, 2 its
// result) at now (seconds): updates the table's rate state and clears the entry's
// action-logging flag when a routed action must not be logged. A result keeps the
// flag of its action, so a result is logged exactly when its action was.
void applyActionLogRate(actionTable& table, actionTableEntry& entry, int requestType, unsigned long now);
