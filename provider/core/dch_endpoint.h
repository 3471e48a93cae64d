// Where the data provider finds the agent's DCH, and how long it waits for a
// reply over UDP. The endpoint is read from the environment at each connect, so a
// data provider follows a changed setting at its next connect:
//   ZEVP_DCH_HOST, else ZEVA_DCH_HOST, else the local host name in effect;
//   ZEVA_DCH_PORT, else the product specification's DCH_PORT_NUMBER, else 1919.
#pragma once

#include <netinet/in.h>

struct DCHendpoint {
  char host[256];
  unsigned short port;  // host byte order
};

DCHendpoint ZEVP_ReadDCHendpoint();

// Seconds a receive on the UDP socket waits for a reply: ZEVP_DCH_REPLY_WAIT,
// else 30. Read once per process.
int ZEVP_DCHreplyWait();
