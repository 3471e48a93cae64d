// libFuzzer harness of the parameter texts of actions that the data provider reads
// itself: an input is "source node\nparameters"; the parameters go through the SNMP
// take-action rewrite (as an operator's SNMP command to that node) and through the
// RULESTART parse. No name resolves, so nothing leaves the process. Nothing may
// crash, hang or leak.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "action_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "no_name_service.h"
#include "snmp_take_action.h"
#include "url_rule_start.h"

namespace {

void NoLog(DPAB*, int32_t, const char*, const char*, const char*, const char*, const char*) {}

DPAB* anchor = nullptr;

char* Copy(const std::string& text) { return ZEVP_CopyActionText(text.data(), static_cast<uint32_t>(text.size())); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  static NoNameService noNames;
  zevp::Routines().sendDPlogMessage = NoLog;
  anchor = zevp::NewAnchor();
  if (anchor == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  input = input.substr(0, input.find('\0'));
  size_t newline = input.find('\n');
  std::string node = newline == std::string::npos ? "host:APPGRP00" : input.substr(0, newline);
  std::string parameters = newline == std::string::npos ? input : input.substr(newline + 1);

  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  entry->ActionSourceNode = Copy(node);
  entry->ActionOwner = Copy("SNMP Control");
  entry->ActionName = Copy("snmp");
  entry->ActionParm = Copy(parameters);
  ZEVP_CheckSNMPtakeAction(anchor, entry);
  ZEVP_ReleaseActionEntry(anchor, entry);

  RuleStartParameters parsed;
  ZEVP_ParseRuleStartParameters(parameters.c_str(), "Sit", &parsed);
  return 0;
}
