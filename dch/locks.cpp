// Mutex wrappers of the channel library and the lock over the DCH environment.
#include <cerrno>

#include "dch/channel_functions.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Statically initialised: a transport may be built before anyone initialises it.
pthread_mutex_t envVarsInitLock = PTHREAD_MUTEX_INITIALIZER;

// With the verbosity switch at 1 the wrappers show their entry and exit, whatever the classes.
bool lockTraceWanted() { return DV_Debug() == 1; }

}  // namespace

// The pthread calls report their failure in their result and leave errno alone, so the
// result (never 0 on failure) is what the caller gets.
int ZEVA_GetLock(pthread_mutex_t* mutex, const void* tag) {
  bool verbose = lockTraceWanted();
  if (verbose) TRC1_Printf(&trcUnit_, __LINE__, "<<Entry>>");
  int rc = pthread_mutex_lock(mutex);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_mutex_lock failed, rc=%d errno=%d [@%p]", rc, errno, tag);
  if (verbose) TRC1_Printf(&trcUnit_, __LINE__, "<<Exit: %d>>", rc);
  return rc;
}

int ZEVA_ReleaseLock(pthread_mutex_t* mutex, const void* tag) {
  bool verbose = lockTraceWanted();
  if (verbose) TRC1_Printf(&trcUnit_, __LINE__, "<<Entry>>");
  int rc = pthread_mutex_unlock(mutex);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_mutex_unlock failed, rc=%d errno=%d [@%p]", rc, errno, tag);
  if (verbose) TRC1_Printf(&trcUnit_, __LINE__, "<<Exit: %d>>", rc);
  return rc;
}

pthread_mutex_t* ZEVA_GetEnvVarsInitLock() { return &envVarsInitLock; }
