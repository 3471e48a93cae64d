// The data provider's statistics: one block for the whole process, with running
// totals and per-period counts of input and output work that the input servers and
// the DCH link add to, and a one-line summary of per-minute rates over the period
// since the last summary.
//
// The block is made once, by the first start-up that asks for it, and kept until
// the process ends: every data provider of the process counts into it, and none
// frees it. Until it exists (or when no storage was had for it) the counting calls
// do nothing and the summary is empty.
#pragma once

#include <cstdint>

#include "bsv1.h"

struct DPAB;

// The size of the summary text block.
constexpr int32_t ZEVP_STAT_LOG_TEXT_SIZE = 512;

struct StatisticBlock {
  BSV1_Lock lock;  // the whole block, and the start of the period
  // Running totals, never reset (opened counts go down again when closed).
  int32_t totalOpenedFiles;
  int32_t totalOpenedSockets;
  int32_t totalAPPCconversations;
  // Counts of the current period, reset by each summary.
  uint32_t fileIOs;
  uint32_t socketIOs;
  uint32_t apiCalls;
  uint32_t appcIOs;
  uint32_t postMessages;
  uint32_t dchMessages;  // messages to the agent
  uint32_t trapsReceived;  // running total
  // Per-minute rates, each the mean of the last period's and the one before.
  double fileIOrate;
  double socketIOrate;
  double apiCallRate;
  double appcIOrate;
  double postRate;
  double dchRate;
  double cpuSeconds;  // used in the last period
};

// The process's block, made on the first call (the period starts then); the same
// block on every later call. Null, traced, when no storage was had.
StatisticBlock* ZEVP_InitializeStatisticBlock();

// Counting calls; each adds under the block's lock.
void ZEVP_UpdateStatLogFileIO(int32_t files, int32_t ios);
void ZEVP_UpdateStatLogSockIO(int32_t sockets, int32_t ios);
void ZEVP_UpdateStatLogAPIcalls(int32_t calls);
void ZEVP_UpdateStatLogPost(int32_t messages);
void ZEVP_UpdateStatLogDCHio(int32_t messages);
void ZEVP_UpdateStatLogTrap(int32_t traps);
void ZEVP_UpdateStatLogAPPCio(int32_t conversations, int32_t ios);

// The summary of the period since the last call, by the anchor's data-provider
// type, in a new ZEVP_STAT_LOG_TEXT_SIZE-byte block the caller frees
// (ZEV0_FreeStorage); the next period starts. A period under a second changes no
// rate and goes on (its counts stay for the next). Null only without storage.
char* ZEVP_FormatStatLog(const DPAB* anchor);
