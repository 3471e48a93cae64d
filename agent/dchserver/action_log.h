// The action log: the agent publishes the actions that its DCH server routes, and
// their results, as rows of attribute group "ACTION" of its own application DVAGENT.
// It is a data provider of the agent's own DCH server and reaches it only through the
// channel library's exported dp_* verbs, like any other client.
//
// Three detached threads work on the server's action table: actionOnline brings the
// log's source of DVAGENT/"ACTION" online and keeps its handle in the table,
// actionData takes the table's records one by one, applies them and writes a row for
// each (within the rate limit, action_log_rate.h), and actionOffline takes the source
// offline again. The server starts them when a data provider brings DVAGENT/"DPLOG"
// online and takes it offline (DCHserver::actionLogSourceOnline / Offline); the
// logging thread is started once and runs until an error ends it or the table goes.
//
// The online and offline threads wait for the server's replies, which a server being
// destroyed never sends: they share the table with its owner, so that it outlives them.
// The logging thread needs no share: the table's destructor closes its ring and waits
// until the thread has stopped taking from it.
#pragma once

#include <memory>

#include "action_table.h"

constexpr char kActionLogGroup[] = "ACTION";
// The attribute group whose sources bring the action log online.
constexpr char kActionLogFeedGroup[] = "DPLOG";

// Each starts its thread, detached, with the table: 0 started, 1 not.
// Rows and offlines wait (a while at most) for an online in progress, so that they use
// the handle it brings.
int doActionOnline(const std::shared_ptr<actionTable>& table);
// The table keeps the records put from the moment this returns 0.
int doActionData(actionTable* table);
int doActionOffline(const std::shared_ptr<actionTable>& table);

// The threads' routines. actionOnline and actionOffline take a share of the table
// (a new std::shared_ptr<actionTable>) and delete it when done; actionData the table.
void* actionOnline(void* tableShare);
void* actionData(void* table);
void* actionOffline(void* tableShare);

// Takes the next record from the ring (waiting while there is none) and applies it to
// the table under its lock: 0 applied (the table's latest and requestType tell what),
// 1 nothing to log (a result for an action the table does not hold), 2 error.
int updateActionTable(actionTable* table);

// The log's source name from the local host name: its part up to the first '.'
// followed by "ACT", cut so that it fits a DCH source name; "ACT" alone without a
// host name.
void actionLogSourceName(const char* hostName, char (&name)[actionTable::kSourceNameSize]);
