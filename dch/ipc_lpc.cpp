// The local-procedure-call placeholder transport: every operation only traces.
#include "dch/ipc_lpc.h"

#include "trc1.h"

TRC_UNIT();

ipcLPC::ipcLPC(short typeOfService, void* address, int connectTo)
    : DCHipc(typeOfService), _lpcError(ipcGetError()) {
  startup(address, connectTo);
}

// Its receive loop returns at once: wait for it before the object goes.
ipcLPC::~ipcLPC() { joinServerThread(); }

int ipcLPC::ipcRead(void**, int) {
  TRC_ENTRY();
  TRC_EXIT();
  return 0;
}

int ipcLPC::ipcWrite(const void*, int, unsigned int) {
  TRC_ENTRY();
  TRC_EXIT();
  return 0;
}

void ipcLPC::setClientAddr(const void*, int) {
  TRC_ENTRY();
  TRC_EXIT();
}

int ipcLPC::IPCServer() {
  TRC_ENTRY();
  TRC_EXIT();
  return _lpcError;
}

int ipcLPC::IPCClient(void*, int, int) {
  TRC_ENTRY();
  TRC_EXIT();
  return _lpcError;
}

int ipcLPC::allocateIPC() {
  TRC_ENTRY();
  TRC_EXIT();
  return _lpcError;
}

int ipcLPC::releaseIPC() {
  TRC_ENTRY();
  TRC_EXIT();
  return _lpcError;
}
