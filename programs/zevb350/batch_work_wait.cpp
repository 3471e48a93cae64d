#include "batch_work_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include "bsv1.h"
#include "trc1.h"
#include "zevp/batch_run.h"

TRC_UNIT();

namespace zevb350 {

namespace {

constexpr unsigned kLookSeconds = 60;
constexpr int kBatchBaseThreads = 2;

// The look at the count runs on a thread of its own, so that the job can stop
// waiting while that thread sleeps; once abandoned it never touches the anchor again.
struct CountWatch {
  std::mutex mutex;
  bool abandoned = false;
  int done[2] = {-1, -1};

  ~CountWatch() {
    for (int end : done)
      if (end >= 0) close(end);
  }
};

void WatchCount(const std::shared_ptr<CountWatch>& watch, DPAB* anchor) {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(watch->mutex);
      if (watch->abandoned) return;
      int32_t active = ZEVP_ActiveBatchProcessCount(anchor);
      if (active <= kBatchBaseThreads) break;
      TRC(TRC_DETAIL, "%d active batch processes", static_cast<int>(active));
    }
    BSV1_Sleep(kLookSeconds);
  }
  char doneMark = 1;
  if (write(watch->done[1], &doneMark, 1) != 1) TRC(TRC_ERROR, "***** Batch work end not told");
}

}  // namespace

bool WaitForBatchWork(DPAB* anchor, int terminationSignal) {
  auto watch = std::make_shared<CountWatch>();
  if (pipe2(watch->done, O_CLOEXEC) != 0) {
    TRC(TRC_ERROR, "***** No pipe for the batch work wait");
    return false;
  }
  std::thread watcher(WatchCount, watch, anchor);
  pollfd watched[] = {{watch->done[0], POLLIN, 0}, {terminationSignal, POLLIN, 0}};
  while (poll(watched, terminationSignal >= 0 ? 2 : 1, -1) < 0 && errno == EINTR) {
  }
  if (watched[0].revents != 0) {
    watcher.join();
    return true;
  }
  TRC(TRC_DETAIL, "Batch job asked to end while its batch work is active");
  std::lock_guard<std::mutex> lock(watch->mutex);
  watch->abandoned = true;
  // It may still sleep; the process ends under it.
  watcher.detach();
  return false;
}

}  // namespace zevb350
