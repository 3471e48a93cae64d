// The RPC stand-in's reading of outside input: a datagram as the server takes it
// (header, then the echo interface's stub reading the body), and the input as an echo
// body in each data representation.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "call_routing.h"
#include "datagram.h"
#include "../echo_interface.h"
#include "no_name_service.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The routine names its caller: no real name service is asked.
  static NoNameService names;
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  static const bool registered = RegisterEchoInterface();
  (void)registered;
  rpc::PacketHeader header;
  const uint8_t* body = nullptr;
  size_t bodyLength = 0;
  if (rpc::ParseDatagram(data, size, &header, &body, &bodyLength) == nullptr &&
      header.type == rpc::PacketType::request) {
    sockaddr_in caller{};
    caller.sin_family = AF_INET;
    caller.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    rpc::AnswerRequest(header, body, bodyLength, caller);
  }
  for (rpc__drep_t drep : {rpc__drep_big_endian_ascii, static_cast<rpc__drep_t>(rpc__drep_little_endian | rpc__drep_ebcdic)}) {
    rpc::BodyReader reader(data, size, drep);
    EchoRecord record;
    ReadEchoRecord(reader, &record);
  }
  return 0;
}
