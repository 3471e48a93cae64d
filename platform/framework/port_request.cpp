#include "internal/port_request.h"

#include <cstddef>

#include "pxraf.h"

namespace raf {

namespace {

std::vector<std::string> splitAtTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

PortRequest refused(const std::string& error) {
  PortRequest request;
  request.error = error;
  return request;
}

bool anyEmpty(const std::vector<std::string>& fields) {
  for (const std::string& field : fields)
    if (field.empty()) return true;
  return false;
}

constexpr char kWhere[] = "-w";
constexpr char kSampleUsage[] = "usage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]";

// Takes the leading "-w" "COLUMN=VALUE" pairs off the fields. False for a pair without
// its predicate, "=" or column.
bool takePredicates(std::vector<std::string>* fields, std::vector<Predicate>* predicates) {
  size_t next = 0;
  for (; next < fields->size() && (*fields)[next] == kWhere; next += 2) {
    if (next + 1 >= fields->size()) return false;
    const std::string& predicate = (*fields)[next + 1];
    size_t equals = predicate.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    Predicate where;
    where.column = predicate.substr(0, equals);
    where.comparison = IntfOper_EQ;
    where.value = predicate.substr(equals + 1);
    predicates->push_back(where);
  }
  fields->erase(fields->begin(), fields->begin() + static_cast<std::ptrdiff_t>(next));
  return true;
}

}  // namespace

PortRequest ParsePortRequest(const std::string& line) {
  std::vector<std::string> fields = splitAtTabs(line);
  std::string command = fields.front();
  fields.erase(fields.begin());
  PortRequest request;
  request.fields = fields;
  if (command == "subnodes" || command == "tables") {
    if (!fields.empty()) return refused("usage: " + command);
    request.kind = command == "subnodes" ? PortRequest::kSubnodes : PortRequest::kTables;
  } else if (command == "sample") {
    if (!takePredicates(&request.fields, &request.predicates) || request.fields.size() < 2 ||
        request.fields.size() > 3 || anyEmpty(request.fields))
      return refused(kSampleUsage);
    request.kind = PortRequest::kSample;
  } else if (command == "action") {
    if (fields.size() != 2 || anyEmpty(fields)) return refused("usage: action SUBNODE COMMAND");
    request.kind = PortRequest::kAction;
  } else {
    return refused("unknown request <" + command + ">");
  }
  return request;
}

}  // namespace raf
