#include "internal/port_request.h"

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
    if (fields.size() < 2 || fields.size() > 3 || anyEmpty(fields)) return refused("usage: sample APPL TABLE [SUBNODE]");
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
