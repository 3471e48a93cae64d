// One attribute group (table) of an application, from a //NAME statement.
#pragma once

#include <cstdint>

#include "bsv1.h"
#include "model_limits.h"

struct ApplicationEntry;
struct InternalRoutingBlock;
struct OMB;
struct SourceEntry;
struct SummaryManagementBlock;

// //CONFIRM kinds.
enum ZEVP_ConfirmType : int32_t {
  ZEVP_CONFIRM_NONE = 0,
  ZEVP_CONFIRM_SIZE = 1,
  ZEVP_CONFIRM_CHARACTER = 2,
  ZEVP_CONFIRM_MESSAGE = 3,
  ZEVP_CONFIRM_SEQUENCE = 4,
};

struct TableEntry {
  TableEntry* next;
  char TableName[ZEVP_GROUP_NAME_MAX + 1];  // a leading '~' marks a group never registered
  char DataType[2];                         // 'P', 'E', 'S' or 'K' and a terminating zero
  int32_t TTL;                              // seconds

  // Counters, guarded by CounterLock.
  int32_t SourceCount;
  int32_t AttributesDefined;
  int32_t AttributesPerRow;  // accessible attributes that are not type K
  int32_t AttributesNotDerived;
  int32_t SNMPattributesWithOID;

  int32_t HasRateAttributes;  // types ?, # and %
  int32_t HasLastAttribute;   // type Z

  // (attribute limit + 1) entries of ZEVP_HELP_ENTRY_SIZE bytes; the group's own
  // help text is the first entry. Released once the application is registered.
  char* HelpBuffer;
  int32_t HelpBufferSize;
  int32_t HelpFillPoint;  // offset of the next free byte

  ApplicationEntry* Application;

  // //RECORDSET
  int32_t RecordSetCount;  // 1 at creation
  char* RecordSetText;
  char* RecordSetDelimiter;
  int32_t RecordSetDelimiterLength;
  int32_t NoValueCountTest;  // turns off the value-count test of record reading
  char* LineReadBuffer;

  // //CONFIRM
  int32_t ConfirmType;  // ZEVP_ConfirmType
  char ConfirmCharacter;
  char* ConfirmText;

  char* ModuleName;  // MODULE=

  // //INTERNAL: the block whose output this group is (null for an input group),
  // and the chain of a block's input groups.
  InternalRoutingBlock* RoutingBlock;
  TableEntry* NextInputTable;

  SummaryManagementBlock* Summary;
  OMB* Odbc;

  // SNMP groups.
  int32_t RegistrationCount;
  int32_t SNMPtable;

  SourceEntry* FirstSource;
  BSV1_Lock SourceListLock;  // first lock: the source list
  BSV1_Lock CounterLock;     // second lock: counters, source count, the sources' states
};

// A new group appended to the application's list, or null after a validation
// message. typeWord, ttlWord and help may be null.
TableEntry* ZEVP_InitializeTableEntry(ApplicationEntry* application, const char* name, const char* typeWord,
                                      const char* ttlWord, const char* help);
