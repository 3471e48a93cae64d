// libFuzzer harness of summaries: the first byte of an input picks one of the
// summary groups below (keys of both kinds, totals of both sizes, intervals of a
// minute, an hour, a day and more, batch mode, no key); the rest is lines, each a
// record of the group (key values, totals, a time stamp, any of them bad). Each
// line is split, taken into the summary, and when the summary is ready its rows
// are made and sent to a send slot that answers at once; a line beginning with
// '!' asks for the end of the interval first. The input's end ends the interval.
// Nothing may crash, read or write beyond the array, or leak.
#include <cstdint>
#include <string>
#include <vector>

#include "application_entry.h"
#include "dch_comm.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "fuzz_model.h"
#include "record_split.h"
#include "source_entry.h"
#include "summary_block.h"
#include "summary_data.h"
#include "table_entry.h"

namespace {

const char* const kMetafile[] = {
    "//APPL Sums",
    "//NAME Minute P 60",  "//SUMMARY 60",         "//ATTRIBUTES ';'", "Host D 8 SKEY=1", "Port G 100 SKEY=2",
    "Bytes C 2000000000 SKEY=SUM", "Small G 30000 SKEY=SUM", "LocalTimeStamp T 16", "Avg (Bytes / _Occurrences)",
    "//NAME Hour P 60",    "//SUMMARY 3600 BATCH", "//ATTRIBUTES ';'", "LocalTimeStamp D 16", "Bytes C 999999 SKEY=SUM",
    "//NAME Day P 60",     "//SUMMARY 86400 BATCH", "//ATTRIBUTES ';'", "LocalTimeStamp T 16", "Cnt G 100 SKEY=SUM",
    "//NAME Other P 60",   "//SUMMARY 5400",       "//ATTRIBUTES ';'", "Key D 4 SKEY=1", "LocalTimeStamp T 16",
    "//NAME Now P 60",     "//SUMMARY 120",        "//ATTRIBUTES ';'", "Key D 2 SKEY=1", "N G 100 SKEY=SUM",
    nullptr,
};

DPAB* anchor = nullptr;
std::vector<SourceEntry*> sources;
DCHcomm link{};

// The send slot: every request is taken, and answered with status 0 at once.
int answerAtOnce(DCHcomm* comm, const char*, int length, int*) {
  comm->StatusPending = 0;
  comm->DCHstatus = 0;
  return length;
}
DCHtransportTable answering{nullptr, nullptr, nullptr, answerAtOnce};

void sendWhenReady(SourceEntry* source) {
  if (ZEVP_CheckDataSummaryReady(source) != 0) ZEVP_PerformDataSummaryOutput(source, &link);
}

void endInterval(SourceEntry* source) {
  BSV1_GetLock(&source->Summary->Lock);
  source->EndBatchSummary = 1;
  BSV1_ReleaseLock(&source->Summary->Lock);
  sendWhenReady(source);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ApplicationEntry* application = nullptr;
  anchor = LoadFuzzModel(kMetafile, &application);
  anchor->transport = &answering;
  ZEVP_InitializeDCHcomm(&link, anchor);
  link.Socket = 1;
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (table->FirstSource != nullptr && table->FirstSource->Summary != nullptr) sources.push_back(table->FirstSource);
  if (sources.empty()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SourceEntry* source = sources[data[0] % sources.size()];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\n', start);
    if (end == std::string::npos) end = rest.size();
    std::string line = rest.substr(start, end - start);
    if (!line.empty() && line[0] == '!') {
      endInterval(source);
      line.erase(0, 1);
    }
    ZEVP_MoveDataToAttr(source, line.data(), static_cast<int32_t>(line.size()), nullptr);
    ZEVP_UpdateSummaryDataArray(source);
    sendWhenReady(source);
    start = end + 1;
  }
  endInterval(source);
  return 0;
}
