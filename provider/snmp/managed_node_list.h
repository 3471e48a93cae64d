// Managed node lists: each list names nodes that the SNMP manager watches closely.
// A list comes from a list input file (docs/managed-node-list-files.md); the list
// configuration file names the loaded input files so that they load again at the
// next start. Every loaded list is handed to the managed-node-list server, which
// runs one task per list.
//
// The chain of lists and the configuration file are guarded by the chain lock
// (ManagedNodeListLock, recursive), a list's node array by the list's own lock.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "bsv1.h"

struct DPAB;
struct NetworkConfigurationBlock;
struct ProcessEntry;

// Filter types of a list.
enum ZEVP_ManagedNodeFilter : int32_t {
  ZEVP_FILTER_NONE = 0,
  ZEVP_FILTER_NAME_STARTS = 1,
  ZEVP_FILTER_NAME_ENDS = 2,
  ZEVP_FILTER_NAME_CONTAINS = 3,
  ZEVP_FILTER_NODE_TYPE = 4,
  ZEVP_FILTER_DESCRIPTION = 5,
  ZEVP_FILTER_ENTERPRISE_OID = 6,
};

// Address family of a node of the array: monitored, or excluded.
constexpr sa_family_t ZEVP_NODE_EXCLUDED = 0;
constexpr sa_family_t ZEVP_NODE_MONITORED = AF_INET;
constexpr size_t ZEVP_LIST_NAME_MAX = 16;

struct ManagedNodeListEntry {
  ManagedNodeListEntry* next;  // the chain, in load order
  ManagedNodeListEntry* previous;
  ManagedNodeListEntry* NextInServerQueue;
  NetworkConfigurationBlock* networkConfiguration;  // set by the server
  std::string inputFileName;  // as given
  std::string fileName;       // full
  std::string listName;       // at most 16 characters
  std::string filterValue;
  int32_t filterType;  // ZEVP_ManagedNodeFilter
  // The list's task. queuedToServer (under the hand-over lock): the list waits in
  // the server's queue, and the server frees it when it was stopped meanwhile.
  // taskMark (under the list's lock): the server starts, or started, a task for the
  // list; the task clears it as its last act, and a stop waits only while it is set.
  // stopRequested: the task is told to end. Kept here, not on the task's stack, so
  // that a stop may race the task's end.
  int32_t queuedToServer = 0;
  int32_t taskMark = 0;
  std::atomic<int32_t> stopRequested{0};
  // Under lock: the node array (only ever grows; an excluded node is family 0) and
  // its changed flag, which the list task reacts to.
  BSV1_Lock lock;
  int32_t changed;
  std::vector<sockaddr_in> nodes;
};

// 1 loaded (or nothing to load: neither nodes nor a filter); 0 when the
// configuration file name is undefined, no name was given or the file does not
// exist (a list loaded from it before is removed in every case). Rewrites the
// configuration file.
int ZEVP_LoadSNMPManagedNodeList(DPAB* anchor, const char* inputFileName);

// Rewrites the configuration file from the chain.
void ZEVP_WriteSNMPManagedNodeListConfigFile();

// At start: loads the lists of SNMP_HOTLIST_TO_LOAD when it is set, else those the
// configuration file names.
void ZEVP_ReadSNMPManagedNodeListConfigFile(DPAB* anchor);

// By the input file name as given (exact), or by list name (case ignored, leading
// blanks skipped, cut at the first blank); null when none.
ManagedNodeListEntry* ZEVP_LocateManagedNodeListFromInputFileName(const char* inputFileName);
ManagedNodeListEntry* ZEVP_LocateManagedNodeListFromListName(const char* listName);

// Adds a node word ("-" first: excluded) with a port (host order); 1 added or
// reactivated, 0 not (unresolved, or already there). Caller holds the list's lock.
int ZEVP_AddNodeToManagedNodeArray(ManagedNodeListEntry* list, const char* nodeWord, uint16_t port);
// Excludes the first monitored node with that IPv4 address; 1 or 0. Caller holds the list's lock.
int ZEVP_RemoveNodeFromManagedNodeArray(ManagedNodeListEntry* list, const sockaddr_in* address);

// Tells the list's task to stop, waits until it has ended (only while a task is
// marked for it), frees the list; a list still in the server's queue is freed by
// the server as it takes it.
void ZEVP_StopSNMPManagedNodeListTask(ManagedNodeListEntry* list);
// Stops and frees every list, then tells the managed-node-list server to end.
void ZEVP_ShutdownSNMPManagedNodeListTask(DPAB* anchor);

namespace zevp {

// Takes the list out of the chain (caller holds the chain lock).
void UnchainManagedNodeList(ManagedNodeListEntry* list);
// The chain lock, made on first use.
BSV1_Lock* ManagedNodeListLock();
// The first list of the chain (caller holds the chain lock).
ManagedNodeListEntry* FirstManagedNodeList();

// The managed-node-list server's side of the hand-over, under the hand-over lock
// (never taken while holding the server's mutex): the lists queued to the server
// so far, chained through NextInServerQueue, each marked as having a task; lists
// stopped while queued are freed here.
ManagedNodeListEntry* TakeQueuedManagedNodeLists(ProcessEntry* server);
// The server could not start the list's task (or ends before it did): the mark goes.
void ForgoManagedNodeListTask(ManagedNodeListEntry* list);
// The list's task has ended: its last touch of the list.
void EndManagedNodeListTask(ManagedNodeListEntry* list);
// The server ends: it is no longer the anchor's, and what is still queued to it is
// dropped (freed when stopped, else left for its stop).
void EndManagedNodeListServer(DPAB* anchor, ProcessEntry* server);

}  // namespace zevp
