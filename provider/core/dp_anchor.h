// The data-provider anchor block: the root of one data provider's state (its
// model, I/O entries, threads, queues and settings), and its start-up.
//
// Every list and queue of the anchor changes only under its own lock; a list
// lock is taken before the lock of an entry of that list.
#pragma once

#include "zevp/batch_run.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "bsv1.h"

struct ActionEntry;
struct ActionWorkerTaskEntry;
struct ApplicationEntry;
struct AttributeEntry;
struct Console_Communication_Area;
struct DCHcomm;
struct DCHtransportTable;
struct DPlogWorkEntry;
struct IOEntry;
struct InternalRoutingBlock;
struct MFRA;
struct NetworkConfigurationBlock;
struct NetworkNodeEntry;
struct OMB;
struct ProcessEntry;
struct SourceEntry;
struct StatisticBlock;
struct TableEntry;
struct URLmanagementBlock;

constexpr int ZEVP_SNMP_MANAGER_TABLES = 8;
constexpr int32_t ZEVP_API_REPLY_BUFFER_SIZE = 1600;

struct DPAB {
  const DCHtransportTable* transport;  // the DCH transport's operations, chosen at start-up

  // The anchor's locks, in their fixed order.
  BSV1_Lock applicationListLock;     // applications
  BSV1_Lock ioListLock;              // ioEntries
  BSV1_Lock apiIOListLock;           // apiIOEntries
  BSV1_Lock fileIOListLock;          // fileIOEntries
  BSV1_Lock sockIOListLock;          // sockIOEntries
  BSV1_Lock appcIOListLock;          // appcIOEntries
  BSV1_Lock processListLock;         // processEntries and threadCount
  BSV1_Lock dchWaitQueueLock;        // dchWaitQueue
  BSV1_Lock actionListLock;          // actionEntries
  BSV1_Lock actionWorkerListLock;    // actionWorkers
  BSV1_Lock offlineQueueLock;        // delayedOfflineQueue
  BSV1_Lock heldActionLock;          // heldActions
  BSV1_Lock snmpNodeLock;            // SNMP agent nodes
  BSV1_Lock applDefinitionLock;      // held while an application is deleted or refreshed, and by the input servers
  BSV1_Lock internalRoutingLock;     // internalRoutingBlocks
  BSV1_Lock ombListLock;             // ombs
  BSV1_Lock statPELock;              // the lent entry pStatPE
  BSV1_Lock logQueueLock;            // logQueueFirst, logQueueLast
  BSV1_Lock httpRowOutputLock;
  BSV1_Lock httpObjectOutputLock;

  InternalRoutingBlock* internalRoutingBlocks;
  ApplicationEntry* applications;
  IOEntry* ioEntries;      // every I/O entry
  IOEntry* fileIOEntries;  // by the kind of their source
  IOEntry* sockIOEntries;
  IOEntry* apiIOEntries;
  IOEntry* appcIOEntries;
  // Lent, under statPELock, to code that must wait for a DCH request on a thread
  // without an entry of its own. Neither chained nor counted.
  ProcessEntry* pStatPE;
  ProcessEntry* processEntries;  // threads made by ZEVP_CreateProcess

  std::atomic<ProcessEntry*> dchClientEntry{nullptr};  // set by the DCH client routine while it runs
  ProcessEntry* automationServerEntry;
  // The SNMP manager task's entry, whose queue the network monitoring server serves,
  // and the managed-node-list server's entry (its readiness): set and cleared by
  // their own threads, read by others.
  std::atomic<ProcessEntry*> networkManagementEntry{nullptr};
  ProcessEntry* logServerEntry;
  std::atomic<ProcessEntry*> managedNodeListEntry{nullptr};
  std::atomic<ProcessEntry*> httpManagerEntry{nullptr};  // the HTTP manager while it runs
  // Made by ZEVP_DefineDPlogReport: the owning task of the DP log source's DCH
  // requests. Neither chained nor counted; freed with the anchor.
  ProcessEntry* logReportEntry;

  SourceEntry* dchWaitQueue;         // queued before the DCH client runs
  // The log source whose online request waits for the DCH: set by the start thread
  // while the periodic task may already look at it.
  std::atomic<SourceEntry*> logSource{nullptr};
  SourceEntry* delayedOfflineQueue;  // copies of sources waiting for their offline request
  // The tables of the SNMP-Manager application (snmp_manager_model.h), each with its
  // one source; null when absent. Set by the SNMP manager task before it starts the
  // threads that read them, cleared by it once they have ended.
  std::atomic<TableEntry*> snmpManagerTables[ZEVP_SNMP_MANAGER_TABLES];
  SourceEntry* managedURLSource;     // Managed_URL rows
  SourceEntry* urlObjectsSource;     // URL_Objects rows
  ActionEntry* actionEntries;
  ActionWorkerTaskEntry* actionWorkers;
  AttributeEntry* logTimeAttribute;      // DP_Time
  AttributeEntry* logCategoryAttribute;  // DP_Log_Category
  AttributeEntry* logTextAttribute;      // DP_Log_Text
  OMB* ombs;
  StatisticBlock* statistics;  // the process's block, shared by every anchor
  // Made by the console service, freed with the anchor; read by the threads that
  // hand it console commands.
  std::atomic<Console_Communication_Area*> consoleArea{nullptr};
  // The metafile client's request area, made at its first connection and freed with
  // the anchor; a pending request's waiter is woken at shut-down.
  std::atomic<MFRA*> metafileExchange{nullptr};
  std::atomic<DCHcomm*> dchLink{nullptr};  // the DCH client routine's block, set by that thread
  NetworkNodeEntry* networkNodes;
  // The SNMP manager's network configuration block while its task holds it.
  std::atomic<NetworkConfigurationBlock*> networkConfiguration{nullptr};
  URLmanagementBlock* urlManagement;

  time_t startTime;
  char* startupConfigFile;  // full name of the start-up configuration file
  char* actionLogFile;      // full name of the action log file
  char* metafileDirectory;  // ends in '/'; null when no storage was had
  char* apiReplyBuffer;     // ZEVP_API_REPLY_BUFFER_SIZE bytes; null until storage is had
  char transportLetter;     // 'I' TCP/IP or 'R' RPC

  int32_t threadCount;  // threads made by ZEVP_CreateProcess not yet released, processListLock
  std::mutex threadEndMutex;               // signalled on threadEnded each time threadCount drops,
  std::condition_variable threadEnded;     // so that waits for the others' end need not poll
  std::atomic<int32_t> shutdownFlag{0};
  int32_t dpType;  // index into DPtypeString
  std::atomic<int32_t> metaServerListening{0};
  std::atomic<int32_t> inputServerListening{0};
  std::atomic<int32_t> logServerReady{0};
  std::atomic<int32_t> startupConfigDone{0};
  int32_t batchMode;  // set by the batch program: no DCH traffic, fewer threads
  FILE* batchLog;
  ActionEntry* heldActions;  // queued before the automation server runs
  DPlogWorkEntry* logQueueFirst;
  DPlogWorkEntry* logQueueLast;
  sockaddr_in* trapDestinations;  // port 162
  int32_t trapDestinationCount;
};

// The process's main anchor; null until one is recorded and again once it is released.
extern std::atomic<DPAB*> Main_DPAB;


namespace zevp {

// A new anchor with its locks set up and every other field zero, or null without
// storage; and its counterpart, which destroys the locks and frees it.
DPAB* NewAnchor();
void FreeAnchor(DPAB* anchor);

// Frees what the start-up initialisation made for the anchor (names, buffers, the
// lent entry, the trap destinations; it forgets the process's statistics block); not the anchor.
void ReleaseStartupResources(DPAB* anchor);

// Runs the action on the main anchor, when there is one, while it cannot be
// released; and clears Main_DPAB when it is this anchor.
void WithMainAnchor(const std::function<void(DPAB*)>& action);
void ForgetMainAnchor(DPAB* anchor);

}  // namespace zevp
