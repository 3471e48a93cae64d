// libFuzzer harness of what the fixed tables take from a request's predicates: the input
// is split as a remote-file node and parsed as an alert's values. Whatever the bytes, the
// parts stay within their bounds: a node's suffix two characters and its key at most 13
// without a "/", an alert's origin node and attribute list at most their columns.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fixed_table_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  remoteFileNode node;
  if (SplitRemoteFileNode(input, &node) &&
      (node.sourceName.empty() || node.suffix.size() != 2 || node.key.size() > kMaxRemoteFileKey ||
       node.key.find('/') != std::string::npos || node.suffix.find('/') != std::string::npos))
    __builtin_trap();
  alertValues alert;
  if (ParseAlertValues(input, &alert) &&
      (alert.originNode.size() > kMaxAlertOriginNode || alert.attributeList.size() > kMaxAlertAttributeList ||
       alert.originNode.size() > size || alert.attributeList.size() > size))
    __builtin_trap();
  return 0;
}
