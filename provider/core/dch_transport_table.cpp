#include "dch_transport_table.h"

#include <cctype>

// The TCP/IP operations are filled in with the DCH link.
const DCHtransportTable TCPIP_DSFT = {nullptr, nullptr, nullptr, nullptr};
const DCHtransportTable RPC_DSFT = {nullptr, nullptr, nullptr, nullptr};

char ZEVP_ValidateTransportType(const char* value) {
  if (value == nullptr || value[0] == '\0') return 'I';
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
  return letter == 'R' ? 'R' : 'I';
}

const DCHtransportTable* ZEVP_TransportTableOf(char transportLetter) {
  return transportLetter == 'R' ? &RPC_DSFT : &TCPIP_DSFT;
}
