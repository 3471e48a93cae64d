// One row of the action log: the eight attributes of DVAGENT/"ACTION" for an action
// table entry, sent to the DCH server as a data request of the log's source.
#pragma once

#include "action_table_entry.h"

enum class ActionRowResult {
  sent,             // the server answered
  timedOut,         // no answer within a second: only a warning
  attributeFailed,  // an attribute could not be formatted; nothing was sent
  sendFailed,       // the request failed otherwise
};

// Formats and sends the row with the entry's control field and the given source
// handle; waits at most a second for the answer and does not wait again.
ActionRowResult sendActionRow(const actionTableEntry& entry, long handle);
