// Router discovery's readers of outside input over one input: the input as a RIP
// datagram with and without a sending router, as a router work file, and as the
// name and sysDescr of a router whose ROUTER row is built. Names are asked of no
// name service and no probe or row leaves the harness (the block has no anchor).
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "discovery_seams.h"
#include "network_configuration_block.h"
#include "no_name_service.h"
#include "rip_messages.h"
#include "router_list.h"
#include "router_row.h"
#include "router_work_file.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

namespace {

char* StorageCopy(const uint8_t* data, size_t size) {
  auto* text = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size) + 1));
  if (text == nullptr) return nullptr;
  std::memcpy(text, data, size);
  text[size] = '\0';
  return text;
}

int NoPing(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) { return 0; }
char* NoDescription(const sockaddr_in*, const char*) { return nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), setenv("ZEV_WORK_PATH", "/tmp", 0),
                             zevs::Seams().checkActiveNode = NoPing, zevs::Seams().getMIB2systemDesc = NoDescription,
                             true);
  (void)ready;
  static NoNameService names;
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  if (block == nullptr) return 0;
  std::vector<char> datagram(data, data + size);
  ZEVS_ProcessRIPmessage(datagram.data(), static_cast<int32_t>(datagram.size()), nullptr);
  sockaddr_in sender{};
  sender.sin_family = AF_INET;
  sender.sin_addr.s_addr = 0x0100000Au;  // 10.0.0.1
  RouterEntry* router = ZEVS_UpdateDiscoveredRouter(&sender, ZEVS_ROUTER_ONLINE);
  if (router != nullptr) {
    router->unconfirmed = 0;
    ZEVS_ProcessRIPmessage(datagram.data(), static_cast<int32_t>(datagram.size()), router);
    const size_t half = size / 2;
    ZEV0_FreeStorage(&router->name);
    router->name = StorageCopy(data, half);
    router->description = StorageCopy(data + half, size - half);
    std::vector<char> row(ZEVS_ROUTER_ROW_SIZE, '\0');
    const int32_t length = ZEVS_FormatRouterInfoBuffer(router, row.data());
    if (length < 0 || length >= ZEVS_ROUTER_ROW_SIZE || std::strlen(row.data()) != static_cast<size_t>(length))
      __builtin_trap();
  }
  if (size > 0) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (file != nullptr) {
      zevs::ReadRouterLines(file, block);
      std::fclose(file);
    }
  }
  zevs::FreeNetworkConfigurationBlock(block);
  return 0;
}
