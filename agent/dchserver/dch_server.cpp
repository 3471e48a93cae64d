// The DCH server's life: construction with its transports and request thread, the
// limits it reads from the environment, and an orderly end.
#include "dch_server.h"

#include <cerrno>
#include <cstdlib>

#include "action_table.h"
#include "appl_space_list.h"
#include "bsv1.h"
#include "dc_waiting_list.h"
#include "dch/channel_functions.h"
#include "dch/ipc_lpc.h"
#include "dch/ipc_sock.h"
#include "env_limit.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kDefaultMaxApplications = 64;
constexpr int kDefaultMaxAttrGroups = 64;
constexpr int kIpcSockets = 1;
constexpr int kIpcLocalProcedureCall = 2;

int maxApplications() {
  static const int max_applications = sizingLimit("ZEVA_MAX_APPLICATIONS", BSV1_GetEnv("ZEVA_MAX_APPLICATIONS", 0), kDefaultMaxApplications);
  return max_applications;
}

int maxAttrGroups() {
  static const int max_attrGroup = sizingLimit("ZEVA_MAX_ATTRGROUPS_PER_APPL", BSV1_GetEnv("ZEVA_MAX_ATTRGROUPS_PER_APPL", 0),
                                              kDefaultMaxAttrGroups);
  return max_attrGroup;
}

}  // namespace

DCHserver::DCHserver()
    : _buckets(new applSpaceList),
      _waitList(new DCwaitingList),
      _actionList(std::make_shared<actionTable>()),
      _maxApplications(maxApplications()),
      _maxAttrGroupPerAppl(maxAttrGroups()) {
  startTransports();
  ZEV0_InitializeMutex(&_readyLock);
  ZEV0_InitializeCondVar(&_readyCond);
  // Joinable, so that the destructor can wait for it.
  if (ZEV0_CreateThread(process_request, this, PTHREAD_CREATE_JOINABLE, &_requestThread) != 0) {
    TRC(TRC_ERROR, "Error: process_request thread failed creation. Cannot continue.");
    exit(1);
  }
}

// The server transport starts its own thread and ring as it is built.
void DCHserver::startTransports() {
  _ipcType = ZEVA_GetIPCtype();
  if (_ipcType == kIpcSockets) {
    _ipcSrv = new ipcSock(DCHIPC_SERVER, 0, 1);
    _replySock = new ipcSock(DCHIPC_CLIENT, 1, 0);
    _ipcClient = _replySock;
  } else if (_ipcType == kIpcLocalProcedureCall) {
    _ipcSrv = new ipcLPC(DCHIPC_SERVER, nullptr, 0);
    _ipcClient = new ipcLPC(DCHIPC_CLIENT, nullptr, 1);
  } else {
    TRC(TRC_ERROR, "Error: Unrecognized IPC type %d", _ipcType);
    exit(1);
  }
  // A reply transport that failed could answer no one: the server is as unusable.
  for (const DCHipc* transport : {_ipcSrv, _ipcClient}) {
    if (transport->ipcGetError() > 0) {
      TRC(TRC_ERROR, "Error: DCH Manager cannot continue. IPC initialization failed <%d>", transport->ipcGetError());
      exit(1);
    }
  }
}

void* DCHserver::process_request(void* server) {
  static_cast<DCHserver*>(server)->processRequest();
  return nullptr;
}

// The request thread first: the transport's destruction expects its owner to have
// stopped taking from the ring (it drains the ring itself until its thread has ended),
// and frees the ring. Then what the two threads used. The action table goes when the
// action log's last thread is done with it; its logging thread stops here.
DCHserver::~DCHserver() {
  stopRequestThread();
  delete _ipcSrv;
  destroyReadyHandshake();
  delete _buckets;
  delete _ipcClient;
  delete _waitList;
  _actionList->closeRing();
  _actionList.reset();
}

// The stop marker goes through the ring like any message, so the request thread
// finds it also while it waits for one; the messages before it are not handled.
void DCHserver::stopRequestThread() {
  _stopping.store(true);
  _ipcSrv->ipc_put_data(0, nullptr, nullptr, 0, nullptr, 0, DCHmessageKind::disconnect, 0);
  pthread_join(_requestThread, nullptr);
}

void DCHserver::destroyReadyHandshake() {
  int rc = pthread_mutex_destroy(&_readyLock);
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: pthread_mutex_destroy failed. rc=%d errno=%d", rc, errno);
    return;
  }
  TRC(TRC_DETAIL, "_readyLock successfully deleted.");
  rc = pthread_cond_destroy(&_readyCond);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_cond_destroy failed. rc=%d errno=%d", rc, errno);
}
