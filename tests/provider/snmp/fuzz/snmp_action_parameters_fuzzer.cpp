// An SNMP action's parameter text through the worker's parsers: the start and stop
// keywords, the AGENTINFO= list, SET's VALUE=, NETADDR= and COMMUNITY= and the value
// field of each SET type.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "snmp_action_parameters.h"
#include "snmp_set_request.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* keyword : {"APPLNAME=", "ATTRGROUP=", "INTERVAL=", "ATTR="}) zevp::KeywordWord(text.c_str(), keyword);
  for (const char* keyword : {"NETADDR=", "COMMUNITY="}) zevp::KeywordWordAfterBlanks(text.c_str(), keyword);
  std::vector<zevp::AgentInfoEntry> agents;
  zevp::ParseAgentInfoList(text.c_str(), &agents);
  bool later = false;
  if (auto value = zevp::SetValueText(text.c_str(), &later)) {
    std::string field;
    for (char type : {'G', 'C', 'D', 'T'}) zevp::EncodeSetValue(type, *value, &field);
  }
  return 0;
}
