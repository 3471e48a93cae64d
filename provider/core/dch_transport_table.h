// The DCH transport's operation table, held in the anchor: the data provider
// reaches the agent's DCH port only through it.
#pragma once

#include "zevp/transport_type.h"

struct DCHcomm;

struct DCHtransportTable {
  void (*waitDCHcomeOnline)(DCHcomm* link);     // connect and start the receive thread
  void (*handleDCHdisconnect)(DCHcomm* link);   // close, reconnect, report the loss
  int (*receive)(DCHcomm* link, char* buffer, int size, int* errorNumber);  // bytes received or -1
  int (*send)(DCHcomm* link, const char* buffer, int length, int* errorNumber);  // bytes sent
};

// TCP/IP, the one working transport, and RPC, which has no operations: a caller
// tests a slot before it calls it.
extern const DCHtransportTable TCPIP_DSFT;
extern const DCHtransportTable RPC_DSFT;


// The table of a letter: RPC_DSFT for 'R', TCPIP_DSFT for any other.
const DCHtransportTable* ZEVP_TransportTableOf(char transportLetter);
