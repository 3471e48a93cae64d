// Summaries and internal routing in the data-provider engine against the same
// rows into a plain group, measured in the same run: each row is split into its
// group's source and handed on as the direct path does, its data requests built
// and taken by a send slot that answers at once (no agent). Rows/s into a
// summary group of many keys (whose rows go out once per key and minute), and
// rows/s into an output group routed to two input groups (each row split and
// sent three times), each over the rows/s of the plain group.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "application_entry.h"
#include "dch_comm.h"
#include "dch_requests.h"
#include "dch_transport_table.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "engine_routines.h"
#include "metafile_parser.h"
#include "ratio.h"
#include "record_paths.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "summary_data.h"
#include "table_entry.h"

namespace {

constexpr int kKeys = 5000;
constexpr long kRowsPerMinute = 20000;

const char kMetafile[] =
    "//APPL Bench\n"
    "//NAME Plain P 60\n//ATTRIBUTES ';'\nHost D 16\nBytes C 999999\nLocalTimeStamp T 16\n"
    "//NAME Summed P 60\n//SUMMARY 60\n//ATTRIBUTES ';'\nHost D 16 SKEY=1\nBytes C 999999 SKEY=SUM\n"
    "LocalTimeStamp T 16\n"
    "//NAME Out P 60\n//INTERNAL OUTPUT R\n//ATTRIBUTES ';'\nHost D 16\nBytes C 999999\nLocalTimeStamp T 16\n"
    "//NAME In1 P 60\n//INTERNAL INPUT R\n//ATTRIBUTES ';'\nHost D 16\nBytes C 999999\nLocalTimeStamp T 16\n"
    "//NAME In2 P 60\n//INTERNAL INPUT R\n//ATTRIBUTES ';'\nHost D 16\nRest D 40\n";

DCHcomm dchLink{};

int answerAtOnce(DCHcomm* comm, const char*, int length, int*) {
  comm->StatusPending = 0;
  comm->DCHstatus = 0;
  return length;
}
const DCHtransportTable answering{nullptr, nullptr, nullptr, answerAtOnce};

// In place of the DCH client and the agent: onlines succeed, rows are sent.
void Answer(DPAB*, ProcessEntry*, SourceEntry* source) {
  if (ZEVP_SourceStateOf(source) == ZEVP_Output) {
    if (source->Summary != nullptr)
      ZEVP_PerformDataSummaryOutput(source, &dchLink);
    else
      ZEVP_DoDPdata(source, &dchLink);
  }
  ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
}

// The n-th row: one of many keys, a minute later every kRowsPerMinute rows.
std::string Record(long n) {
  long minute = (n / kRowsPerMinute) % 60;
  char record[64];
  std::snprintf(record, sizeof record, "host%05ld;%ld;10212101%02ld00000", n % kKeys, n % 1000, minute);
  return record;
}

class RowLoop {
 public:
  RowLoop(DPAB* anchor, SourceEntry* source) : anchor_(anchor), source_(source) {}
  LoopPass pass() {
    return Repeat([this] {
      std::string record = Record(next_++);
      ZEVP_MoveDataToDCH(anchor_, source_, record.data(), static_cast<int32_t>(record.size()));
      return true;
    });
  }

 private:
  DPAB* anchor_;
  SourceEntry* source_;
  long next_ = 0;
};

SourceEntry* SourceNamed(ApplicationEntry* application, const char* group) {
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (std::string(table->TableName) == group) return table->FirstSource;
  return nullptr;
}

}  // namespace

int main() {
  ScratchDirectory metafiles("zev_model_bench");
  metafiles.write("bench.mdl", kMetafile);
  setenv("ZEVP_META_PATH", metafiles.path().c_str(), 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) return BenchFailure("no data-provider anchor");
  anchor->transport = &answering;
  ZEVP_InitializeDCHcomm(&dchLink, anchor);
  dchLink.Socket = 1;
  zevp::Routines().queueAndWaitDCHstatus = Answer;
  int opened = 0, alreadyDefined = 0;
  // The parse's messages are not the benchmark's output.
  std::fflush(stdout);
  int output = dup(STDOUT_FILENO);
  int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);
  ApplicationEntry* application = ZEVP_ConstructApplDataModel(anchor, "bench.mdl", 1, &opened, &alreadyDefined, 0, 1);
  std::fflush(stdout);
  dup2(output, STDOUT_FILENO);
  close(output);
  close(devNull);
  if (application == nullptr) return BenchFailure("the benchmark's metafile gave no application");

  RowLoop plain(anchor, SourceNamed(application, "Plain"));
  RowLoop summed(anchor, SourceNamed(application, "Summed"));
  RowLoop routed(anchor, SourceNamed(application, "Out"));
  PrintRatio("rows/s into a summary group of 5000 keys / into a plain group",
             MedianRatio(plain.pass(), summed.pass()), "a row per key and minute goes out");
  PrintRatio("rows/s into an output group routed to two input groups / plain", MedianRatio(plain.pass(), routed.pass()),
             "each row split and sent three times");

  ZEVP_DestroyDCHcomm(&dchLink);
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_ReleaseGlobalResources(anchor);
  return 0;
}
