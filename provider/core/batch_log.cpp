// The batch job log of the batch program: the data-provider log as lines of a file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "dp_anchor.h"
#include "dp_log.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Senders in batch mode write from their own threads.
std::mutex batchLogMutex;

}  // namespace

// The file is written as a stream of lines; the record attributes that a
// record-oriented file system would take have no meaning here.
void ZEVP_OpenBatchLog(DPAB* anchor, const char* path) {
  std::lock_guard<std::mutex> lock(batchLogMutex);
  FILE* log = path != nullptr ? std::fopen(path, "we") : nullptr;
  if (log == nullptr) {
    TRC(TRC_ERROR, "Batch job log %s open failed. ErrorText <%s>. stdout used", path != nullptr ? path : "(none)",
        std::strerror(errno));
    log = stdout;
  }
  anchor->batchLog = log;
  zevp::SetDPlogAnchor(anchor);
}

void ZEVP_WriteBatchLog(const char* text) {
  std::lock_guard<std::mutex> lock(batchLogMutex);
  DPAB* anchor = zevp::DPlogAnchor();
  if (anchor == nullptr || anchor->batchLog == nullptr) return;
  std::fprintf(anchor->batchLog, "%s\n", text);
  std::fflush(anchor->batchLog);
}

void ZEVP_CloseBatchLog() {
  std::lock_guard<std::mutex> lock(batchLogMutex);
  DPAB* anchor = zevp::DPlogAnchor();
  if (anchor == nullptr || anchor->batchLog == nullptr) return;
  if (anchor->batchLog != stdout) std::fclose(anchor->batchLog);
  anchor->batchLog = nullptr;
}
