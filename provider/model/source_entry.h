// One data source of an attribute group: a //SOURCE statement, the default
// source of an //ATTRIBUTES section, or a source made at run time (API and POST
// partners, routed sources). Every source carries its own attribute list.
//
// The record has a fixed size: the DCH client copies a whole entry for a
// delayed offline.
#pragma once

#include <cstdint>

#include "bsv1.h"
#include "source_states.h"

struct ActionEntry;
struct AttributeEntry;
struct DPAB;
struct FileSpecControlBlock;
struct IOEntry;
struct ProcessEntry;
struct SummaryManagementBlock;
struct TableEntry;

// Source type letters.
constexpr char ZEVP_SOURCE_FILE = 'F';
constexpr char ZEVP_SOURCE_SOCK = 'S';
constexpr char ZEVP_SOURCE_APPC = 'A';
constexpr char ZEVP_SOURCE_SNMP = 'N';
constexpr char ZEVP_SOURCE_ODBC = 'O';
constexpr char ZEVP_SOURCE_BASE = 'B';

// The control value of an ordinary data row.
constexpr int16_t ZEVP_DATA_SEQUENCE_ROW = 17;

struct SourceEntry {
  SourceEntry* next;                // next source of the group
  SourceEntry* NextInDCHqueue;      // DCH IO queue and DCH wait queue
  SourceEntry* NextInOfflineQueue;  // delayed-offline queue
  TableEntry* Table;                // null for an API source not yet associated
  ProcessEntry* OwningTask;         // the thread that waits for this source's DCH requests
  int32_t OwnsTask;                 // 1: OwningTask, neither chained nor counted, was made for this source and goes with it
  IOEntry* IO;
  FileSpecControlBlock* FileSpec;  // FILE sources

  AttributeEntry* FirstAttribute;   // definition order
  AttributeEntry* FirstInSequence;  // output (and summary) order
  AttributeEntry* SavedRows;        // chain of attribute-list copies, one per key seen
  char* AttrDelimiter;              // from //ATTRIBUTES; null: no delimiter

  char* SourceName;  // as given
  int32_t SourceNameLength;
  char* pSourceNodeName;
  int32_t SourceNodeNameLength;
  char* FullyQualifiedLU;  // APPC: network.lu.name, upper-cased

  int32_t State;  // ZEVP_SourceState
  char SourceType;
  char CodeType;           // SOCK: 'A' ASCII or 'E' EBCDIC
  uint8_t CodeConversion;  // from ZEV0_CheckCodeConversion
  int16_t DataSequence;    // control value of the next data request, ZEVP_DATA_SEQUENCE_ROW at rest
  int32_t DataPending;
  int32_t Dynamic;  // made for one API partner
  int32_t BuiltIn;  // a source of a built-in application

  // Actions (ACCREQ of a partner).
  int32_t AcceptActionRequests;
  int32_t ActionResultWait;  // seconds
  ActionEntry* RemoteActions;
  ActionEntry* ActionHandOver;
  ActionEntry* CurrentAction;

  // DCH link.
  int64_t DataExpiryTime;
  uint32_t DCHhandle;
  int32_t DCHenqueued;
  int32_t ImmediateOffline;
  int32_t DCHrequestSeqNumber;
  SourceEntry* CopiedFrom;  // delayed-offline copies only
  SourceEntry* Origin;      // routed sources: the output group's source that feeds this one
  int32_t Routed;           // made by internal routing: its OwningTask is its own waiting entry
  char* OutputBuffer;
  int32_t OutputBufferSize;

  // Summaries.
  SummaryManagementBlock* Summary;
  int32_t SummaryDelivering;  // set while the summary output fills the values of its rows
  int32_t EndBatchSummary;    // the interval in hand is to end now (under the block's lock)

  int32_t SendOrder;
  int64_t CreationTime;     // seconds

  BSV1_Lock SummaryLock;
  BSV1_Lock AttributeLock;  // the attribute list
  BSV1_Lock DataLock;       // the source: held while a record is split into its attributes
  BSV1_Lock ActionListLock;
  BSV1_Lock EntryLock;  // held by the DCH client while it works on the entry (not for a registration),
                        // and wherever OwningTask changes
};

// A new source appended to the group's list (group may be null for a source of a
// partner not yet associated), or null after a message. typeWord is FILE, SOCK,
// APPC, SNMP, ODBC or BASE; name is the file name or host; managedSystem may be
// null. fileSourceFlag, when given, is the group's has-a-FILE-source flag.
SourceEntry* ZEVP_InitializeSourceEntry(DPAB* anchor, TableEntry* table, const char* typeWord, const char* name,
                                        const char* managedSystem, int32_t* fileSourceFlag);

// 1 when the source is in that state, else 0.
int ZEVP_CheckSourceState(const SourceEntry* source, int32_t state);

// The DCH client wakes a source's owning task when its request completes, so a
// thread that waits for one request on a source it does not own lends the source
// for that time. Lending gives the owner it had; giving back restores it only when
// the waiter still holds the source: a partner's server may have taken it meanwhile
// (a datagram that binds the source while its application registers), and its
// owner must not be lost.
ProcessEntry* ZEVP_LendSource(SourceEntry* source, ProcessEntry* waiter);
void ZEVP_GiveSourceBack(SourceEntry* source, ProcessEntry* waiter, ProcessEntry* owner);
