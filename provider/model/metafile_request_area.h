// The metafile request area (MFRA): records of a metafile that did not come from
// a local file, read one by one. The data provider's metafile client keeps one
// on the anchor for the metafiles it fetches from a metafile server; an in-memory
// metafile gets one of its own for as long as it is read.
//
// The fetch hand-over, between a requester and the client thread:
// - Lock serialises fetches: a requester holds it from its request until it has
//   read the last record or closed the metafile.
// - Owner is the client's entry while it is connected, null otherwise; it changes
//   only under Lock, so a requester holding Lock may use the client's entry.
// - A request is posted under the client's mutex (name, requester, status -1) and
//   answered, by the client holding its own mutex, under the requester's mutex
//   (records, count, status, name cleared), after which the client no longer
//   touches the requester. A requester never holds both mutexes.
// - Leaving, set under the client's mutex, tells requesters that the client is
//   letting go of its connection: they post nothing more.
#pragma once

#include <atomic>
#include <cstdint>

#include "bsv1.h"

struct DPAB;
struct ProcessEntry;

// One line of a metafile; its text follows the record in the same block.
struct MetafileRecord {
  MetafileRecord* next;
  char* Text;
  uint32_t TextLength;
};

// Records in file order, and how many are left to read.
struct MetafileRecordList {
  MetafileRecord* first = nullptr;
  MetafileRecord* last = nullptr;
  int32_t count = 0;
};

// Status values of the area; a positive one is the server's (1: not found).
constexpr int32_t ZEVP_MFRA_REQUEST_PENDING = -1;  // also: the request could not be sent or was not answered
constexpr int32_t ZEVP_MFRA_RECEIVED = 0;
constexpr int32_t ZEVP_MFRA_CONNECTION_BROKEN = -2;
constexpr int32_t ZEVP_MFRA_INVALID_RECORDS = -3;
constexpr int32_t ZEVP_MFRA_OWN_MEMORY_METAFILE = -4;

struct MFRA {
  BSV1_Lock Lock;
  std::atomic<ProcessEntry*> Owner{nullptr};
  std::atomic<ProcessEntry*> Requester{nullptr};  // null when no request is posted
  const char* MetafileName = nullptr;             // the requester's, not copied
  std::atomic<int32_t> Status{0};
  MetafileRecordList Records;
  std::atomic<int32_t> Leaving{0};
};

// A new area (its lock set up), or null without storage; and its release with
// its records.
MFRA* ZEVP_NewRequestArea();
void ZEVP_FreeRequestArea(MFRA* area);

// Appends a copy of the text as a record; false without storage.
bool ZEVP_AppendMetafileRecord(MetafileRecordList* records, const char* text, uint32_t length);
// Takes the first record off the list (the caller frees it); null when none is left.
MetafileRecord* ZEVP_TakeMetafileRecord(MetafileRecordList* records);
// Frees every record and sets the count to 0.
void ZEVP_FreeMetafileRecords(MetafileRecordList* records);

// An in-memory metafile: the text is split at line feeds (empty lines vanish);
// the first line names the metafile, each further one is a record, up to the end
// or the first line that begins with '&'. A new area of status -4 holding the
// records, or null without storage.
MFRA* ZEVP_ConstructMemoryMetafile(DPAB* anchor, const char* text);

// Frees the anchor's metafile client area, when it has one; its threads have ended.
void ZEVP_ReleaseMetafileExchange(DPAB* anchor);
