// The agent program zeva350.
#include <malloc.h>
#include <sys/resource.h>

#include <cerrno>

#include "dv_main.h"
#include "raf.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Most of the agent's threads wait for something; were each to malloc in an arena of its
// own (the C library makes up to eight per core), each would keep its arena's touched
// pages. The few threads that carry rows share these, each holding an arena's lock only
// for one allocation (small blocks come from a cache of the thread's own).
constexpr int kMallocArenas = 4;

// Data providers keep a socket and files open per source: take every descriptor the
// system allows.
void raiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    TRC(TRC_ERROR, "Warning: getrlimit failed, errno=%d", errno);
    return;
  }
  TRC(TRC_DETAIL, "getrlimit returned %d for Max Number of FDs", static_cast<int>(limit.rlim_max));
  limit.rlim_cur = limit.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) TRC(TRC_ERROR, "Warning: setrlimit failed, errno=%d", errno);
}

}  // namespace

int main(int argc, char* argv[]) {
  // Before any thread starts.
  if (mallopt(M_ARENA_MAX, kMallocArenas) == 0) TRC(TRC_ERROR, "Warning: the malloc arenas could not be limited");
  raiseOpenFileLimit();
  DV_Main(argc, argv);
  TRC1_Printf(&trcUnit_, __LINE__, "Dorvane Agent shutdown in progress");
  RAF_Shutdown(1);
  TRC1_Printf(&trcUnit_, __LINE__, "Dorvane Agent shutdown complete");
  return 0;
}
