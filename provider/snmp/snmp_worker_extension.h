// The state an SNMP worker keeps while it collects one MIB table: its target
// agents and its interest. The MIB interest file and the MIB status rows are
// written from it (mib_interest_file.h, mib_status_rows.h); the collection itself
// gives it its work.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>

#include "bsv1.h"
#include "zev0/timestamp.h"

struct ActionEntry;
struct ApplicationEntry;
struct AttributeEntry;
struct TableEntry;

// One target agent of a worker.
struct SNMPMonitorNodeEntry {
  SNMPMonitorNodeEntry* next;
  char* agentName;     // as given, or the network address it was expanded from
  char* agentAddress;  // dotted text
  char* community;
  int32_t noData;          // 1: the last pass returned no row
  int32_t interestCount;
  int32_t fromNetwork;     // expanded from a network address
  int32_t ownsCommunity;   // community is a copy of its own
  sockaddr_in address;     // UDP port 161
  AttributeEntry* attributes;  // the agent's own copy of the group's attributes, or null
};

// A start request's agents, kept with its action so that a stop finds them.
struct MonitorAgentNameEntry {
  MonitorAgentNameEntry* next;
  char* agentAddress;
};

constexpr int32_t ZEVP_NO_INTERVAL_YET = 0x7FFFFFFF;

// One per SNMP worker.
struct SNMPWorkerTaskExtension {
  int32_t interestCount;  // start requests that use it
  int32_t interval;       // seconds; the smallest requested wins
  ActionEntry* action;    // the action that created it
  SNMPMonitorNodeEntry* nodes;
  ApplicationEntry* application;
  TableEntry* table;
  char* agentInfo;        // the last AGENTINFO text
  std::atomic<int32_t> interestChanged;  // the MIB interest file must be rewritten (set and read by several threads)
  // The agent time stamp of the last completed pass; sixteen '0' before the first.
  char lastSampleTime[ZEV0_PLOVEN_TIME_BLOCK_SIZE];
  BSV1_Lock nodeListLock;
  BSV1_Lock intervalLock;
  // Set under the worker's mutex by whoever signals the collector (a start, a stop):
  // the signal is not lost while the collector is in a pass.
  int32_t wakeRequested;
  // Set when the collected table's application is deleted: the collection ends at
  // once, whatever interest is left.
  std::atomic<int32_t> collectionStopped;
  // Set by the worker itself when the start it performs was handed to another
  // worker's collection: the start is that collector's, and this worker no longer
  // reads it.
  int32_t startHandedOver;
  // Walks over the workers' extensions reading this one now; its worker frees it only
  // once they have ended (mib_status_rows.h).
  int32_t visits;
};
