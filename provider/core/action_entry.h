// The record of one action that the agent sent down (or that the data provider
// made itself), from its decode until its status and result have gone back, and
// the reuse chain of such records on the anchor.
//
// Every entry ever made stays on the anchor's chain (actionListLock) and is reused
// once reset; the chain is freed with the anchor, after every thread has ended.
// The fields that name an action (node, owner, name, parameters, type, ID, InUse)
// change only under the chain's lock: who fills a fresh entry holds it, and so do
// the reset and the SNMP rewrite of an operator's command. The hand-over fields
// (RemoteState, ActionStatus and ActionResult while a partner has the action)
// change under ActionLock.
#pragma once

#include <pthread.h>

#include <cstdint>

#include "bsv1.h"

struct ActionWorkerTaskEntry;
struct DPAB;
struct MonitorAgentNameEntry;
struct NetworkManageEntry;

// WorkState.
constexpr int32_t ZEVP_ACTION_NEW = 0;
constexpr int32_t ZEVP_ACTION_FINISHED = 1;

// RemoteState: the hand-over to an API or socket partner.
constexpr int32_t ZEVP_REMOTE_NONE = 0;
constexpr int32_t ZEVP_REMOTE_QUEUED = 1;     // on the source's remote-action list
constexpr int32_t ZEVP_REMOTE_FETCHED = 2;    // its request text went to the partner
constexpr int32_t ZEVP_REMOTE_DELIVERED = 4;  // the partner has it; its result is awaited
constexpr int32_t ZEVP_REMOTE_COMPLETED = 5;

// The fields an action from the agent must carry (all but the parameters).
constexpr int32_t ZEVP_ACTION_FIELDS_REQUIRED = 5;
// SnmpWord after a reset.
constexpr int32_t ZEVP_SNMP_WORD_RESET = 2147483647;

// The owner that marks a policy's action.
inline constexpr char ActionIsPolicy[] = "_POLNAME_";

// Names of the actions the data provider performs itself.
inline constexpr char SitStart[] = "RULESTART";
inline constexpr char SitStop[] = "RULESTOP";
inline constexpr char ZEVP_TRAPEMIT[] = "TRAPEMIT";
inline constexpr char ZEVP_DP_CONTROL[] = "DP_CONTROL";
inline constexpr char ZEVP_DP_CONFIG[] = "DP_CONFIG";
inline constexpr char ZEVP_SNMPSTARTGET[] = "SNMPSTARTGET";

inline constexpr char NoResultExpireString[] = "No result received in specified time period";
inline constexpr char NoResultString[] = "No result expected";
inline constexpr char NoResultDataReceived[] = "Received result contains no data";

// The texts of the action types in log messages: " " for a type outside 1 to 3.
const char* ZEVP_AutoTypeText(int32_t actionType);

// Result texts by number (ZEVP_SetActionResultText); a slot with a single blank has none.
constexpr int32_t ZEVP_ACTION_RESULT_TEXT_COUNT = 38;
constexpr int32_t ZEVP_RESULT_NETWORK_UNRESOLVED = 24;

struct ActionEntry {
  ActionEntry* NextEntry;    // the anchor's reuse chain
  ActionEntry* QueueNext;    // the automation server's queue or the anchor's wait queue
  ActionEntry* SourceNext;   // a source's remote-action list
  ActionWorkerTaskEntry* WorkerTask;
  int32_t FieldCount;        // ZEVP_ACTION_FIELDS_REQUIRED when whole
  int32_t WorkState;
  int32_t InUse;
  int32_t ActionType;        // ZEV_ActionType
  char* ActionSourceNode;    // source node ':' application key
  int32_t ActionStatus;      // ZEV_ActionStatus, or the negated wait status of a command
  uint32_t ActionID;
  char* ActionOwner;         // the situation or policy
  char* ActionName;
  char* ActionParm;          // null when none
  char* ActionResult;        // null when none
  int32_t ResultLength;
  int32_t SnmpWord;          // the SNMP worker's collection interval
  int32_t RemoteState;
  char* RequestText;         // as handed to the partner
  int64_t RequestTime;       // seconds
  int64_t CompletionTime;
  pthread_mutex_t ActionMutex;
  pthread_cond_t ActionCondition;
  BSV1_Lock ActionLock;
  char EyeCatcher;           // 'A'
  MonitorAgentNameEntry* MonitorAgentNameEntries;
  int32_t SnmpRequest;       // rewritten from an operator's SNMP command
  NetworkManageEntry* NetworkManage;
};

// A free entry of the chain, marked in use and new, or a new one appended to the
// chain; null without storage.
ActionEntry* ZEVP_AllocateActionEntry(DPAB* anchor);

// Resets the entry for reuse (its texts freed, InUse 0, SnmpWord 0x7FFFFFFF); it
// stays on the chain. A network request still attached was never queued (who
// queues it detaches it) and is freed.
void ZEVP_ReleaseActionEntry(DPAB* anchor, ActionEntry* entry);

// Frees every entry of the anchor's chain; for the anchor's release.
void ZEVP_FreeActionEntries(DPAB* anchor);

// Replaces the result by a copy of result text `index`; ResultLength is its length.
void ZEVP_SetActionResultText(ActionEntry* entry, int32_t index);

// Replaces the result by a copy of the text (null: none); ResultLength is left alone.
void ZEVP_SetActionResult(ActionEntry* entry, const char* text);

// 1 when the new entry duplicates an active Rule action (same node, owner, name and
// parameters) and must be dropped; 0 otherwise.
int ZEVP_CheckDuplicateActiveAction(DPAB* anchor, const ActionEntry* entry);

// The SNMPSTARTGET action in use with that ID and owner, or null.
ActionEntry* ZEVP_LocateStartActionByID(DPAB* anchor, uint32_t actionID, const char* owner);

// A copy of length bytes of text in a new block, zero-terminated; null without storage.
char* ZEVP_CopyActionText(const char* text, uint32_t length);
