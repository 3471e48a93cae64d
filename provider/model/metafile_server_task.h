// The metafile server task: one thread per data provider, started when
// ZEVP_META_SERVER names a host (its entry's parameter). On that host, while no
// other data provider holds the metafile port, it is the metafile server, which
// answers GETMETA requests of other data providers; otherwise it is the metafile
// client, which fetches, for this data provider's threads, the metafiles that
// are not there locally. The exchange runs over TCP (docs/metafile-exchange.md).
#pragma once

struct DPAB;
struct ProcessEntry;

// Thread routine (made with the start hand-shake): records its thread, holds its
// entry's TerminationLock while it runs, and runs the server or the client until
// its termination flag is set.
void ZEVP_MetaServerTask(ProcessEntry* entry);

// 1 when a metafile server of this host holds the metafile port (its UDP port
// cannot be bound), else 0. The RPC transport ('R') is not supported: 0.
int ZEVP_IsMetaServerActive(char transportLetter);

// The routines of the task. Each reports the task's start through the hand-shake
// and returns 1 when the entry is still the thread's, 0 after a failed start
// (the starter then releases the entry).
int ZEVP_MetaServerSockServerRoutine(DPAB* anchor, ProcessEntry* entry);
int ZEVP_MetaServerSockClientRoutine(DPAB* anchor, ProcessEntry* entry);
// The RPC transport is not supported: the task reports a failed start.
int ZEVP_MetaServerRPCServerRoutine(DPAB* anchor, ProcessEntry* entry);
int ZEVP_MetaServerRPCClientRoutine(DPAB* anchor, ProcessEntry* entry);

namespace zevp {

// The start report of the routines: after a failed start the TerminationLock is
// let go first, for the starter destroys the entry.
void ReportMetaServerStart(ProcessEntry* entry, bool failed);

// The data provider's DP log message through the routine table.
void MetaServerDPlog(DPAB* anchor, int number, const char* p1 = nullptr, const char* p2 = nullptr,
                     const char* p3 = nullptr);

}  // namespace zevp
