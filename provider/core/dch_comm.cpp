#include "dch_comm.h"

#include <cstring>

#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// How long a lost wake-up of the status wait goes unnoticed.
constexpr int kStatusWaitSeconds = 3;

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
    if (rc == 0)
      TRC(TRC_DETAIL, ">>>>> DCH status signal received, %d", comm->StatusPending);
    else
      TRC(TRC_DETAIL, ">>>>> DCH status not yet received, %d", comm->StatusPending);
  }
  TRC(TRC_DETAIL, ">>>>> Wait DCH status completed");
}
