// The line reader of the node community and network-name files over the input as a
// file, each key taken as a node (no name service asked) and as a network key.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "key_value_file.h"
#include "network_name_list.h"
#include "no_name_service.h"
#include "trc1.h"
#include "zev0/hostnames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), true);
  static NoNameService noNames;
  (void)ready;
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;
  zevp::ForEachKeyValueLine(file, "Fuzzed file", [](const std::string& key, const std::string&) {
    sockaddr_in node{};
    ZEV0_ConvertNameToAddr(key.c_str(), 0, &node);
    std::string padded;
    uint32_t network = 0;
    zevp::PadNetworkKey(key, &padded, &network);
  });
  std::fclose(file);
  return 0;
}
