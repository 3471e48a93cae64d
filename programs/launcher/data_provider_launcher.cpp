#include "data_provider_launcher.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>

#include "shutdown_request.h"
#include "trc1.h"
#include "zev0/threads.h"
#include "zevp/data_provider.h"

TRC_UNIT();

namespace {

sigset_t TerminationSignal() {
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGTERM);
  return termination;
}

// Waits for SIGTERM, which every thread keeps blocked, and asks the data provider
// to end. Lives until the process exits.
void* AwaitTermination(void*) {
  sigset_t termination = TerminationSignal();
  int signalNumber = 0;
  while (sigwait(&termination, &signalNumber) != 0) {
  }
  TRC(TRC_DETAIL, "SIGTERM received: the data provider is asked to shut down");
  zevp::RequestShutdownOfEveryDP();
  return nullptr;
}

}  // namespace

int RunDataProviderLauncher(void* (*entryRoutine)(void*), int32_t* startMode, const char* label) {
  ZEVP_SetDPprogramStart();
  // Blocked before the data provider's first thread, so that each of its threads
  // inherits the mask and only the watcher takes the signal.
  sigset_t termination = TerminationSignal();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &termination, &previous);

  pthread_t dataProvider;
  if (ZEV0_CreateThread(entryRoutine, startMode, PTHREAD_CREATE_JOINABLE, &dataProvider) != 0) {
    TRC(TRC_ERROR, "***** %s DP main processing thread create failed. errno %d", label, errno);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
  }
  pthread_t watcher;
  int watching = pthread_create(&watcher, nullptr, AwaitTermination, nullptr);
  if (watching == 0)
    pthread_detach(watcher);
  else
    TRC(TRC_ERROR, "***** %s DP termination signal watcher not started. errno %d", label, watching);

  void* threadResult = nullptr;
  int rc = pthread_join(dataProvider, &threadResult);
  if (rc != 0)
    TRC(TRC_ERROR, "***** %s DP main processing thread join failed. errno %d", label, rc);
  else
    TRC(TRC_UNIT_DETAIL, "***** %s DP main processing thread successfully ended *****", label);
  return 0;
}
