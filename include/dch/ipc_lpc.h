// The DCH transport for local procedure calls: a placeholder that does no work. A server
// built on it never receives a message (its receive loop ends at once).
#pragma once

#include "dch/dchipc.h"

class ipcLPC : public DCHipc {
 public:
  ipcLPC(short typeOfService, void* address, int connectTo);
  ~ipcLPC() override;

  int ipcRead(void** buffer, int wait) override;
  int ipcWrite(const void* buffer, int length, unsigned int connectedSockFD) override;
  void setClientAddr(const void* address, int length) override;
  int IPCServer() override;
  int IPCClient(void* address, int connectTo, int typeOfService) override;
  int allocateIPC() override;
  int releaseIPC() override;

 private:
  // The base's error state at construction; what the operations that report return.
  int _lpcError;
};
