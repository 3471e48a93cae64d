// libFuzzer harness of a configuration request's text: the request and its
// parameters, the names of SERVER= and NODE=, the list of LIST=, and the URL
// keywords as an add and as a remove read them. None may crash, hang or leak.
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "configuration_request_text.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ConfigurationRequestText read =
      ZEVP_ReadConfigurationRequest(std::string_view(reinterpret_cast<const char*>(data), size));
  zevp::CommaSeparatedValue(read.parameters, "SERVER=");
  zevp::CommaSeparatedValue(read.parameters, "NODE=");
  std::string list;
  zevp::WordValue(read.parameters, "LIST=", &list);
  ZEVP_ReadURLrequestParameters(read.parameters, true);
  ZEVP_ReadURLrequestParameters(read.parameters, false);
  return 0;
}
