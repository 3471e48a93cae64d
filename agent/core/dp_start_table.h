// Which data providers the agent starts as threads of its own: worked out from the
// command line, ZEVA_STARTUP_DP and the product specification, without side effects
// beyond the trace, so that every combination can be tried in one process.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>
#include <vector>

// One data provider to start. A data-provider thread gets the address of its entry's
// type as its only argument, so the table stays where it is while the threads run.
struct DPstartEntry {
  char typeName[8];
  int32_t type;     // index into DPtypeString (zev/dp_types.h)
  int32_t started;  // 1 once its thread was created
  pthread_t threadId;
};

struct DPstartTable {
  // Room for this many data providers; further ones are refused with a trace.
  static constexpr int kRoom = 20;
  // The argument list ("FILE,SOCK,") holds at most this many characters; names that
  // would not fit are refused with a trace.
  static constexpr size_t kArgumentListRoom = 255;

  DPstartEntry entries[kRoom];
  int DPsToStartCount = 0;
};

// What the inputs of the start table come to.
enum class DPstartOutcome {
  ready,      // the table holds what to start (perhaps nothing)
  errorFlag,  // an argument could not be read: start no data provider and no framework
  fatal,      // the product specification's list is missing or names none: exit code 1
};

// What the start table is worked out from.
struct DPstartInputs {
  // The command-line arguments after the program name.
  std::vector<std::string> arguments;
  // ZEVA_STARTUP_DP, or null when it is not set.
  const char* startupDP = nullptr;
  // Product specification item 0 (the packaged-product switch) and item 18
  // DP_TO_START, each null when it holds no value.
  const char* packagedProduct = nullptr;
  const char* dpToStart = nullptr;
};

// Fills the table (emptied first) in the order the data providers were named.
DPstartOutcome buildDPstartTable(const DPstartInputs& inputs, DPstartTable* table);
