#include "dch_transport_table.h"

#include <cctype>

#include "dch_tcp_transport.h"

const DCHtransportTable TCPIP_DSFT = {ZEVP_TCPIP_WaitDCHcomeOnline, ZEVP_TCPIP_HandleDCHdisconnect,
                                      ZEVP_TCPIP_DCHreceive, ZEVP_TCPIP_DCHsend};
const DCHtransportTable RPC_DSFT = {nullptr, nullptr, nullptr, nullptr};

char ZEVP_ValidateTransportType(const char* value) {
  if (value == nullptr || value[0] == '\0') return 'I';
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
  return letter == 'R' ? 'R' : 'I';
}

const DCHtransportTable* ZEVP_TransportTableOf(char transportLetter) {
  return transportLetter == 'R' ? &RPC_DSFT : &TCPIP_DSFT;
}
