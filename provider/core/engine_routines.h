// The routines that the start, the environment and the release of a data provider
// call in other parts of the engine, reached through one table.
//
// Each slot starts as the part's own function (engine_routines.cpp). Tests may
// replace slots while no data provider runs (tests/provider/fixtures/routine_overrides.h
// restores them).
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "process_entry.h"

struct ActionEntry;
struct ActionWorkerTaskEntry;
struct ApplicationEntry;
struct AttributeEntry;
struct DCHactionMessage;
struct DCHcomm;
struct DPAB;
struct IOEntry;
struct InternalRoutingBlock;
struct SourceEntry;
struct StatisticBlock;
struct SummaryManagementBlock;
struct URLrequestEntry;

namespace zevp {

struct EngineRoutines {
  // Thread routines of the common environment.
  ZEVP_ProcessRoutine dchClientRoutine;  // ZEVP_DCHclientRoutine
  ZEVP_ProcessRoutine taskPeriodical;    // ZEVP_TaskPeriodical
  ZEVP_ProcessRoutine dpLogServer;       // ZEVP_DPlogServer: sets the anchor's logServerReady
  ZEVP_ProcessRoutine metaServerTask;    // ZEVP_MetaServerTask: answers the start hand-shake
  ZEVP_ProcessRoutine automationServer;  // ZEVP_AutomationServer
  // Thread routines of the input servers, by type.
  ZEVP_ProcessRoutine apiServer;         // ZEVP_SOCKpgmAPIServer
  ZEVP_ProcessRoutine fileServer;        // ZEVP_FileServer
  ZEVP_ProcessRoutine socketServer;      // ZEVP_SocketServer
  ZEVP_ProcessRoutine postServer;        // ZEVP_PostServer
  ZEVP_ProcessRoutine httpManagerTask;   // ZEVP_HTTPmanagerTask

  // Start-up.
  int (*checkDPalreadyActive)(DPAB* anchor);  // 1 when the type already runs on this host
  void (*determineMaxAttributesPerGroup)();
  sockaddr_in* (*constructTrapDestinationArray)(const char* destinations, int32_t* count);
  StatisticBlock* (*initializeStatisticBlock)();
  int (*defineDPlogReport)(DPAB* anchor);
  int (*defineHTTPapplication)(DPAB* anchor);
  int (*processStartUpConfig)(DPAB* anchor);  // sets the anchor's startupConfigDone in every case
  void (*doApplicationAutoLoad)(DPAB* anchor);
  void (*checkAndStartFileServer)(DPAB* anchor, ZEVP_ProcessRoutine fileServer);
  void (*initializeUMB)(DPAB* anchor);
  // Runs on the start thread until the data provider has shut down.
  void (*consoleService)(DPAB* anchor, ZEVP_ProcessRoutine typeRoutine);

  // The DCH link.
  // Takes an action message that the agent sent (its views valid for the call only).
  void (*provideAction)(DPAB* anchor, const DCHactionMessage* action);
  // Computes the value of an attribute defined by a derived function.
  void (*performDeriveAttrFunction)(AttributeEntry* attribute);
  // Writes the source's current values as a batch record (batch mode: no DCH).
  void (*outputBatchDataRecord)(SourceEntry* source);
  // Answers the source's current action (state Reply): its result when its status
  // is 0 or it has a result text, else its status alone; the DCH status is left in comm.
  void (*provideActionReply)(SourceEntry* source, DCHcomm* comm);
  // Sends the summary rows of a summary group's source in place of one data request.
  void (*performDataSummaryOutput)(SourceEntry* source, DCHcomm* comm);
  // 1 when the source's summary interval (or its pending batch, past ageLimit
  // seconds) has ended at `now`; the end is then marked requested.
  int (*summaryIntervalEnded)(SourceEntry* source, int64_t now, int64_t ageLimit);

  // Socket partners: runs the partner's request state machine (n bytes of buffer;
  // 0 and null when the partner's source, set Inactive, is taken offline).
  void (*processSockRequestByState)(DPAB* anchor, ProcessEntry* caller, IOEntry* partner, int n, char* buffer);

  // The SNMP data provider's periodic reports.
  void (*updateMIBinteresToDCH)(DPAB* anchor);
  void (*doNoDataStatusReport)(DPAB* anchor);
  // The SNMP collection's configuration files, loaded by the SNMP manager task and
  // reloaded by console commands: each loader is non-zero when its file was loaded.
  // The manager task frees the lists at its end.
  int (*loadSNMPcommunityName)();                                 // ZEVP_LoadSNMPcommunityName
  void (*updateMonitorNodeCommunity)(DPAB* anchor);               // ZEVP_UpdateMonitorNodeCommunity
  int (*loadSNMPNetworkName)();                                   // ZEVP_LoadSNMPNetworkName
  void (*updateMonitorNetworkSymbolicName)(DPAB* anchor);         // ZEVP_UpdateMonitorNetworkSymbolicName
  int (*loadSNMPManagedNodeList)(DPAB* anchor, const char* file);  // ZEVP_LoadSNMPManagedNodeList
  void (*freeSNMPcommunityNameList)();                            // ZEVP_FreeSNMPcommunityNameList
  // ZEVP_LocateSNMPnodeCommunityName: the community configured for the node's
  // address (network order) as a copy of its own (ZEV0_FreeStorage), or null.
  char* (*locateSNMPnodeCommunityName)(uint32_t nodeAddress);
  void (*freeSNMPNetworkNameList)();                              // ZEVP_FreeSNMPNetworkNameList

  // The data path of a row, after its split and filters.
  // Hands the unchanged record of an internal output group's row to its input groups.
  void (*dispatchInternalOutput)(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block,
                                 const char* record, int32_t length);  // ZEVP_DispatchInternalOutput
  void (*updateSummaryDataArray)(SourceEntry* source);  // ZEVP_UpdateSummaryDataArray
  int (*checkDataSummaryReady)(SourceEntry* source);    // ZEVP_CheckDataSummaryReady: 1 when rows may be sent
  // When the source of an internal output group goes offline, ends the receiving
  // groups' summaries and takes their sources offline.
  void (*checkRedirectSourceOffline)(DPAB* anchor, SourceEntry* source,
                                     InternalRoutingBlock* block);  // ZEVP_CheckRedirectSourceOffline

  // Statistics: files opened and file reads (ZEVP_UpdateStatLogFileIO).
  void (*updateStatLogFileIO)(int32_t files, int32_t ios);

  // The model's neighbours.
  // ZEVP_SendDPlogMessage: one row of the DP log, message `number` with up to five
  // inserts (null for none); anchor null: the process's main anchor.
  void (*sendDPlogMessage)(DPAB* anchor, int32_t number, const char* p1, const char* p2, const char* p3,
                           const char* p4, const char* p5);
  // ZEVP_SNMPapplOnline: starts the collection of a registered SNMP application.
  void (*snmpApplOnline)(DPAB* anchor, ApplicationEntry* application);
  // ZEVP_SNMPapplOffline: sets every source of the SNMP application Inactive and
  // queues it to the DCH client routine (offline).
  void (*snmpApplOffline)(DPAB* anchor, ApplicationEntry* application);
  // Asks the collection thread of an SNMP source to stop: state word 5 in its
  // collection block, under the block's lock, and its condition signalled.
  void (*stopSNMPcollection)(SourceEntry* source);

  // What action workers hand over to other parts.
  // ZEVP_SNMPWorkerTask: the body of a worker of action type 3 (action_worker.h
  // says what a body does); own is its process entry.
  void (*snmpWorkerTask)(ActionWorkerTaskEntry* worker, ProcessEntry* own);
  // ZEVP_AllocateAutoStartActionEntry: an entry in use, SNMPSTARTGET of the owner
  // SNMPAUTOINIT, type 3, every field counted; null without storage.
  ActionEntry* (*allocateAutoStartActionEntry)(DPAB* anchor);
  // ZEVP_DoAutoStartMIBmonitorTasks: the MIB interest file's collections, of the
  // named application only when one is given.
  void (*doAutoStartMIBmonitorTasks)(DPAB* anchor, const char* applicationName);
  // ZEVS_LocateKnownNetwork: the mask (host order) of the network of the network
  // list at that address (host order), 0 when the list has none.
  uint32_t (*knownNetworkMask)(uint32_t networkAddress);
  // ZEVP_LocateNetworkBySymbolicName: the network's address text in a new block, or null.
  char* (*locateNetworkBySymbolicName)(const char* symbolicName);
  // The actions TRAPEMIT, DP_CONTROL and DP_CONFIG: each sets the entry's status
  // and result (ZEVP_EmitSNMPtrap, ZEVP_ScheduleRunConsoleCommand,
  // ZEVP_ScheduleDPconfigurationRequest).
  void (*emitSNMPtrap)(DPAB* anchor, ActionEntry* entry);
  void (*scheduleRunConsoleCommand)(DPAB* anchor, ActionEntry* entry);
  void (*scheduleDPconfigurationRequest)(DPAB* anchor, ActionEntry* entry);
  // ZEVP_AllocateHTTPrequestBlock: monitors the URL for the user (alias may be
  // null); null when it is monitored already or refused.
  URLrequestEntry* (*allocateHTTPrequestBlock)(DPAB* anchor, const char* url, const char* alias, int interval,
                                               const char* user, int cachePercent, int* alreadyMonitored);
  // ZEVP_StopSitHTTPrequest: the situation no longer monitors any URL.
  void (*stopSitHTTPrequest)(DPAB* anchor, const char* ownerName);

  // Shut-down and release.
  void (*updateSourceEntryState)(SourceEntry* source, int32_t state);
  void (*queueAndWaitDCHstatus)(DPAB* anchor, ProcessEntry* caller, SourceEntry* source);
  void (*releaseSummaryManagementBlock)(SummaryManagementBlock* block);
  void (*closeBatchOutputFile)(ApplicationEntry* application);
  void (*closeBatchLog)();
};

// The table in effect for the process.
EngineRoutines& Routines();

}  // namespace zevp
