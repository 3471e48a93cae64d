// libFuzzer harness of the management-server port's request lines: whatever a client
// sends, the parser answers a request with its fields (a sample's predicates each naming
// a column) or a refusal that says why.
#include <cstddef>
#include <cstdint>
#include <string>

#include "internal/port_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  raf::PortRequest request = raf::ParsePortRequest(line);
  size_t fields = request.fields.size();
  bool sound = false;
  switch (request.kind) {
    case raf::PortRequest::kInvalid: sound = !request.error.empty(); break;
    case raf::PortRequest::kSubnodes:
    case raf::PortRequest::kTables: sound = fields == 0; break;
    case raf::PortRequest::kSample:
      sound = fields == 2 || fields == 3;
      for (const raf::Predicate& predicate : request.predicates) sound = sound && !predicate.column.empty();
      break;
    case raf::PortRequest::kAction: sound = fields == 2; break;
  }
  if (!sound) __builtin_trap();
  return 0;
}
