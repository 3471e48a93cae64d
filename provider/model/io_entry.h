// The input control block of one source or partner: its socket or file, its
// input buffers and the wake-up pair of the thread that serves it. Chained in the
// anchor's list of all I/O entries and in the anchor's list of its kind.
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include <cstdint>
#include <cstdio>

#include "bsv1.h"

struct DPAB;
struct IObuffer;
struct SourceEntry;

struct IOEntry {
  IOEntry* NextAll;     // the anchor's list of all I/O entries
  IOEntry* NextOfKind;  // the anchor's list of its kind
  char Kind;            // 'A' APPC, 'B' BASE, 'F' FILE, 'S' SOCK (other letters: no kind list)

  int32_t Active;      // 1 at creation: its socket belongs in the select read set
  int32_t NewBinding;  // set whenever the partner is unbound
  int32_t APIverb;     // verb index of the last buffer, 0 to 9
  int32_t Connected;
  int Socket;            // in use
  int ConnectionSocket;  // TCP connection, 0 when none
  int ListenSocket;
  uint16_t Port;               // fixed port, network byte order, 0 any
  sockaddr_in PartnerAddress;  // IPv4

  int32_t RecordLength;  // input buffer size
  IObuffer* Buffers;
  uint32_t AckSequence;
  int64_t ExpiryTime;  // renewed by every UDP datagram
  int32_t Limit;       // 2147483647 at creation

  // FILE sources.
  FILE* Stream;
  char Mode;             // 'T' tail (at creation), 'C' copy
  int32_t CopyClear;     // COPY CLEAR: empty the file once copied
  int32_t TailByRecord;  // TAILBYRECORD
  // Asks the periodic task to wake a file server waiting for its file; read and
  // written through the two functions below.
  int32_t FileWaitPending;

  SourceEntry* Source;
  pthread_mutex_t Mutex;
  pthread_cond_t Condition;
  int32_t WakeUpPending;  // under Mutex: set by ZEVP_WakeFileServer, taken by the wait
  BSV1_Lock Lock;
};

// The file server sets it while it waits for its file; the periodic task reads it
// under the anchor's file list lock only.
inline int32_t ZEVP_FileWaitPending(const IOEntry* entry) {
  return __atomic_load_n(&entry->FileWaitPending, __ATOMIC_ACQUIRE);
}
inline void ZEVP_SetFileWaitPending(IOEntry* entry, int32_t pending) {
  __atomic_store_n(&entry->FileWaitPending, pending, __ATOMIC_RELEASE);
}

// Wakes the file server waiting on the entry's condition. A wake-up that comes while
// it is not waiting yet (looking at its file) is kept for its next wait, not lost.
void ZEVP_WakeFileServer(IOEntry* entry);

// A new I/O entry for the source (or, without one, of the given kind letter),
// linked into the anchor's lists; null after a message.
IOEntry* ZEVP_InitializeIOEntry(DPAB* anchor, SourceEntry* source, char kind);
