// The one-line requests of the management-server port (internal to the framework;
// docs/framework-port.md).
#pragma once

#include <string>
#include <vector>

#include "raf_driver.h"

namespace raf {

// The longest request line, line end included.
constexpr size_t kPortLineLimit = 4096;

struct PortRequest {
  enum Kind { kInvalid, kSubnodes, kTables, kSample, kAction };
  Kind kind = kInvalid;
  // sample: application, table and, when given, the subnode; action: subnode, command.
  std::vector<std::string> fields;
  // sample: the equality predicates ("-w" fields, each followed by COLUMN=VALUE), in order.
  std::vector<Predicate> predicates;
  // Why the line was refused (kInvalid).
  std::string error;
};

// One request line without its line end: a command word and tab-separated fields. A
// sample's fields may begin with predicates: "-w" and "COLUMN=VALUE" (split at the first
// "="; the column not empty, the value may be).
PortRequest ParsePortRequest(const std::string& line);

}  // namespace raf
