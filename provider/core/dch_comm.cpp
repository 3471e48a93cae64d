#include "dch_comm.h"

#include <chrono>
#include <cstring>

#include "dch_tcp_transport.h"
#include "dp_anchor.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// How long a lost wake-up of the status wait goes unnoticed.
constexpr int kStatusWaitSeconds = 3;

// The data provider ends: shut-down was requested or its DCH client told to end.
bool ending(const DCHcomm* comm) {
  const DPAB* anchor = comm->Anchor;
  if (anchor == nullptr) return false;
  const ProcessEntry* client = anchor->dchClientEntry.load();
  return zevp::ShutdownRequested(anchor) || (client != nullptr && client->terminationFlag != 0);
}

// While the data provider ends, a status that did not come within a whole wait is
// not waited for any longer (over TCP the wait has no limit of its own): the link is
// dropped, so that a late status is never taken for a later request's, and the
// request ends as lost. The agent, when it is there, answers well within the wait.
void giveUpStatus(DCHcomm* comm) {
  TRC(TRC_ERROR, "*** DCH status for request %d not received while the data provider ends, DCH link dropped",
      comm->RequestAwaited);
  ZEVP_DropDCHconnection(comm);
  BSV1_GetLock(&comm->SendLock);
  comm->DCHstatus = ZEVP_DCH_CONNECTION_LOST;
  BSV1_ReleaseLock(&comm->SendLock);
}

}  // namespace

void ZEVP_InitializeDCHcomm(DCHcomm* comm, DPAB* anchor) {
  std::memset(comm, 0, sizeof *comm);
  comm->Anchor = anchor;
  comm->RequestBufferSize = ZEVP_DCH_REQUEST_BUFFER_SIZE;
  TRC(TRC_DETAIL, "Initializing locks and mutex for DCHcomm");
  ZEV0_InitializeMutex(&comm->ReceiveReadyMutex);
  ZEV0_InitializeCondVar(&comm->ReceiveReadyCond);
  ZEV0_InitializeMutex(&comm->StatusMutex);
  ZEV0_InitializeCondVar(&comm->StatusCond);
  BSV1_InitializeLock(&comm->SendLock);
}

void ZEVP_DestroyDCHcomm(DCHcomm* comm) {
  pthread_mutex_destroy(&comm->ReceiveReadyMutex);
  pthread_cond_destroy(&comm->ReceiveReadyCond);
  pthread_mutex_destroy(&comm->StatusMutex);
  pthread_cond_destroy(&comm->StatusCond);
  BSV1_DestroyLock(&comm->SendLock);
}

int64_t ZEVP_SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void ZEVP_AwaitReceiveTaskEnd(DCHcomm* comm) {
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  while (comm->ReceiveTaskRunning != 0) pthread_cond_wait(&comm->ReceiveReadyCond, &comm->ReceiveReadyMutex);
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
}

void ZEVP_CheckDCHstatus(DCHcomm* comm) {
  TRC(TRC_DETAIL, ">>>>> Ready to wait for DCH status");
  BSV1_ReleaseLock(&comm->SendLock);
  for (int waits = 1; comm->StatusPending != 0; ++waits) {
    TRC(TRC_DETAIL, ">>>>> Wait %d DCH status for request %d", waits, comm->RequestAwaited);
    int rc = ZEV0_ConditionTimedWait(&comm->StatusCond, &comm->StatusMutex, kStatusWaitSeconds);
    if (rc == 0) {
      TRC(TRC_DETAIL, ">>>>> DCH status signal received, %d", comm->StatusPending);
    } else {
      TRC(TRC_DETAIL, ">>>>> DCH status not yet received, %d", comm->StatusPending);
      if (comm->StatusPending != 0 && ending(comm)) giveUpStatus(comm);
    }
  }
  TRC(TRC_DETAIL, ">>>>> Wait DCH status completed");
}
