// An action's parameter text through the trap emitter's parsers: the keyword
// values, the severity and category codes, and the destination list (with a name
// service that knows no name, so nothing leaves the process).
#include <cstddef>
#include <cstdint>
#include <string>

#include "no_name_service.h"
#include "trap_parameters.h"
#include "trc1.h"
#include "zev0/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  static NoNameService names;
  (void)quiet;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TrapRequest request = ParseTrapRequest(text.c_str());
  TrapSeverityCode(request.severity);
  TrapCategoryCode(request.category);
  int32_t count = 0;
  sockaddr_in* destinations = ZEVP_ConstructTrapDestinationArray(
      request.destinations ? request.destinations->c_str() : text.c_str(), &count);
  ZEV0_FreeStorage(&destinations);
  return 0;
}
