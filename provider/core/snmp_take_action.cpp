#include "snmp_take_action.h"

#include <arpa/inet.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "action_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_text.h"
#include "network_manage_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kOperatorAction[] = "SNMP";
constexpr char kOperatorOwner[] = "SNMP Control";
constexpr char kAttrGroup[] = "ATTRGROUP=";
constexpr char kAgentInfo[] = "AGENTINFO=";
// The application key: the application prefix, the group and the release.
constexpr size_t kPrefixLength = 3;
constexpr size_t kReleaseLength = 2;
constexpr int32_t kDefaultPollSeconds = 300;
constexpr int32_t kShortestPollSeconds = 60;

size_t skipBlanks(const std::string& text, size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// The word at `at` (blanks skipped before it), and through *after where the text
// after it begins, its blanks skipped.
std::string wordAt(const std::string& text, size_t at, size_t* after) {
  size_t begin = skipBlanks(text, at);
  size_t end = text.find(' ', begin);
  if (end == std::string::npos) end = text.size();
  *after = skipBlanks(text, end);
  return text.substr(begin, end - begin);
}

bool beginsWith(const std::string& text, const char* prefix) { return text.compare(0, std::strlen(prefix), prefix) == 0; }

void replaceText(char** field, const std::string& text) {
  ZEV0_FreeStorage(field);
  *field = ZEVP_CopyActionText(text.data(), static_cast<uint32_t>(text.size()));
}

// What the operator's command becomes. It is worked out from the entry without the
// action list's lock (name look-ups may be slow) and then applied in one step under
// it, since the duplicate search reads the entries in use.
struct Rewrite {
  int32_t status = ZEV_ACTION_SUCCESS;
  bool operatorCommand = false;  // the worker type becomes SNMP's
  std::string name;              // the new action name; empty: kept
  bool newParameters = false;
  std::string parameters;
  NetworkManageEntry* networkRequest = nullptr;  // handed to the entry
  int32_t resultText = -1;                       // a result text by number; -1: none

  Rewrite() = default;
  ~Rewrite() { ZEV0_FreeStorage(&networkRequest); }
  Rewrite(const Rewrite&) = delete;
  Rewrite& operator=(const Rewrite&) = delete;

  void applyTo(ActionEntry* entry) {
    entry->ActionStatus = status;
    if (operatorCommand) {
      entry->ActionType = ZEV_ACTION_SNMP;
      entry->SnmpRequest = 1;
    }
    if (!name.empty()) replaceText(&entry->ActionName, name);
    if (newParameters) replaceText(&entry->ActionParm, parameters);
    if (networkRequest != nullptr) {
      ZEV0_FreeStorage(&entry->NetworkManage);
      entry->NetworkManage = networkRequest;
      networkRequest = nullptr;
    }
    if (resultText >= 0) ZEVP_SetActionResultText(entry, resultText);
  }
  void setParameters(std::string text) {
    newParameters = true;
    parameters = std::move(text);
  }
};

// The text after the source node's ':', when it is long enough to cut `needed`
// characters from.
bool applicationKey(const ActionEntry* entry, size_t needed, std::string* key) {
  const char* colon = entry->ActionSourceNode != nullptr ? std::strchr(entry->ActionSourceNode, ':') : nullptr;
  if (colon == nullptr || std::strlen(colon + 1) <= needed) {
    TRC(TRC_ERROR, "***** SNMP command of action %u: source node <%s> names no application", entry->ActionID,
        entry->ActionSourceNode != nullptr ? entry->ActionSourceNode : "");
    return false;
  }
  *key = colon + 1;
  return true;
}

void rewriteSet(const ActionEntry* entry, const std::string& rest, Rewrite* rewrite) {
  std::string key;
  if (!applicationKey(entry, kReleaseLength, &key)) return;
  rewrite->status = ZEV_ACTION_SUCCESS;
  rewrite->name = "SNMPSET";
  rewrite->setParameters(rest + " APPLNAME=" + key.substr(0, key.size() - kReleaseLength));
}

// The agents a monitor command names: after "AGENTINFO=(" up to ')', or the whole
// text the operator gave.
std::string agentsNamed(const std::string& parameters) {
  size_t at = parameters.find(kAgentInfo);
  if (at == std::string::npos) return parameters;
  size_t from = at + sizeof kAgentInfo - 1;
  if (parameters.size() - from < 3) return parameters;
  if (parameters[from] == '(') ++from;
  size_t end = parameters.find(')', from);
  return parameters.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

void rewriteMonitor(DPAB* anchor, const ActionEntry* entry, const std::string& qualifier, std::string parameters,
                    Rewrite* rewrite) {
  bool start = beginsWith(qualifier, "START");
  if (!start && !beginsWith(qualifier, "STOP")) {
    TRC(TRC_ERROR, "Invalid SNMP Monitor command request");
    rewrite->status = ZEV_ACTION_UNRECOG_REQUEST;
    return;
  }
  std::string key;
  std::string agents;
  size_t group = parameters.find(kAttrGroup);
  if (group != std::string::npos) {
    if (!applicationKey(entry, kReleaseLength, &key)) return;
    size_t value = group + sizeof kAttrGroup - 1;
    parameters.replace(value, std::string::npos, zevp::UpperCased(parameters.substr(value)));
    parameters.replace(group, sizeof kAttrGroup - 1, sizeof kAttrGroup - 1, ' ');
    agents = agentsNamed(parameters);
    parameters += " APPLNAME=" + key.substr(0, key.size() - kReleaseLength);
  } else {
    if (!applicationKey(entry, kPrefixLength + kReleaseLength, &key)) return;
    agents = agentsNamed(parameters);
    parameters += " APPLNAME=" + key.substr(0, kPrefixLength) + " ATTRGROUP=" +
                  key.substr(kPrefixLength, key.size() - kPrefixLength - kReleaseLength);
  }
  rewrite->status = ZEV_ACTION_SUCCESS;
  rewrite->name = start ? "SNMPSTARTGET" : "SNMPSTOPGET";
  rewrite->setParameters(std::move(parameters));
  zevp::Routines().sendDPlogMessage(anchor, start ? 110 : 111, agents.c_str(), nullptr, nullptr, nullptr, nullptr);
}

// The number after the '=' that follows the keyword at `at`; false without the '='.
bool valueAfterEquals(const std::string& text, size_t at, size_t keywordLength, size_t* value) {
  size_t equals = skipBlanks(text, at + keywordLength);
  if (equals >= text.size() || text[equals] != '=') return false;
  *value = skipBlanks(text, equals + 1);
  return true;
}

bool pollInterval(const std::string& rest, int32_t operation, int32_t* interval) {
  size_t poll = rest.find("POLL");
  if (poll == std::string::npos) {
    *interval = operation == ZEVP_MANAGE_START ? kDefaultPollSeconds : 0;
    return true;
  }
  size_t value;
  if (!valueAfterEquals(rest, poll, 4, &value)) return false;
  long seconds = std::strtol(rest.c_str() + value, nullptr, 10);
  if (seconds <= 0)
    *interval = kDefaultPollSeconds;
  else if (seconds <= kShortestPollSeconds)
    *interval = kShortestPollSeconds;
  else
    *interval = seconds > INT32_MAX ? INT32_MAX : static_cast<int32_t>(seconds);
  return true;
}

int32_t includeOption(const std::string& rest) {
  size_t option = rest.find("OPTION");
  size_t value;
  if (option == std::string::npos || !valueAfterEquals(rest, option, 6, &value) || value >= rest.size()) return 1;
  return rest[value] == 'N' || rest[value] == 'n' ? 0 : 1;
}

// A network address (1.2 is 1.2.0.0), a host name, or a network's symbolic name.
bool resolveNetwork(const std::string& text, uint32_t* address) {
  int dots = ZEV0_IsThisAddressString(text.c_str());
  if (dots > 0) {
    std::string dotted = text + (dots == 1 ? ".0.0" : dots == 2 ? ".0" : "");
    in_addr numeric;
    if (inet_pton(AF_INET, dotted.c_str(), &numeric) != 1) return false;
    *address = numeric.s_addr;
    return true;
  }
  sockaddr_in host{};
  if (ZEV0_ConvertNameToAddr(text.c_str(), 0, &host)) {
    *address = host.sin_addr.s_addr;
    return true;
  }
  char* network = zevp::Routines().locateNetworkBySymbolicName(text.c_str());
  if (network == nullptr) return false;
  in_addr named;
  bool found = inet_pton(AF_INET, network, &named) == 1;
  ZEV0_FreeStorage(&network);
  if (found) *address = named.s_addr;
  return found;
}

void rewriteManage(const std::string& qualifier, const std::string& rest, Rewrite* rewrite) {
  size_t netaddr = rest.find("NETADDR");
  if (netaddr == std::string::npos) {
    TRC(TRC_ERROR, "Missing request value in SNMP Manage parameter");
    return;  // status 11
  }
  size_t value;
  if (!valueAfterEquals(rest, netaddr, 7, &value)) {
    TRC(TRC_ERROR, "SNMP Manage NETADDR without '='");
    rewrite->status = ZEV_ACTION_SYNTAX_ERROR;
    return;
  }
  int32_t operation;
  if (beginsWith(qualifier, "START")) {
    operation = ZEVP_MANAGE_START;
  } else if (beginsWith(qualifier, "STOP")) {
    operation = ZEVP_MANAGE_STOP;
  } else if (beginsWith(qualifier, "EXCLUDE")) {
    operation = ZEVP_MANAGE_EXCLUDE;
  } else {
    TRC(TRC_ERROR, "Invalid SNMP Manage command qualifier");
    rewrite->status = ZEV_ACTION_UNRECOG_REQUEST;
    return;
  }
  int32_t interval;
  if (!pollInterval(rest, operation, &interval)) {
    TRC(TRC_ERROR, "SNMP Manage POLL without '='");
    rewrite->status = ZEV_ACTION_SYNTAX_ERROR;
    return;
  }
  size_t end = rest.find(' ', value);
  std::string network = rest.substr(value, end == std::string::npos ? std::string::npos : end - value);
  uint32_t address = 0;
  if (!resolveNetwork(network, &address)) {
    TRC(TRC_ERROR, "SNMP Manage network <%s> unresolved", network.c_str());
    rewrite->status = ZEV_ACTION_INPUTPARM_ERROR;
    rewrite->resultText = ZEVP_RESULT_NETWORK_UNRESOLVED;
    return;
  }
  auto* request = static_cast<NetworkManageEntry*>(ZEV0_GetStorage(sizeof(NetworkManageEntry)));
  if (request == nullptr) {
    TRC(TRC_ERROR, "***** No storage for a network manage request");
    rewrite->status = ZEV_ACTION_DP_ERROR;
    return;
  }
  std::memset(request, 0, sizeof *request);
  request->NetworkAddress = address;
  request->ManageAction = operation;
  request->PollInterval = operation == ZEVP_MANAGE_EXCLUDE ? includeOption(rest) : interval;
  rewrite->networkRequest = request;
  rewrite->name = "SNMPMANAGE";
  rewrite->status = ZEV_ACTION_SUCCESS;
}

void rewriteOperatorCommand(DPAB* anchor, const ActionEntry* entry, Rewrite* rewrite) {
  rewrite->status = ZEV_ACTION_REQPARM_MISSING;
  std::string parameters = entry->ActionParm != nullptr ? entry->ActionParm : "";
  size_t restAt;
  std::string command = zevp::UpperCased(wordAt(parameters, 0, &restAt));
  std::string rest = parameters.substr(restAt);
  if (rest.empty()) return;
  rewrite->operatorCommand = true;

  if (command == "SET") {
    rewriteSet(entry, rest, rewrite);
  } else {
    size_t afterQualifier;
    std::string qualifier = zevp::UpperCased(wordAt(rest, 0, &afterQualifier));
    if (command == "MONITOR")
      rewriteMonitor(anchor, entry, qualifier, rest.substr(afterQualifier), rewrite);
    else if (command == "MANAGE")
      rewriteManage(qualifier, rest, rewrite);
  }
}

}  // namespace

int ZEVP_CheckSNMPtakeAction(DPAB* anchor, ActionEntry* entry) {
  Rewrite rewrite;
  if (entry->ActionName != nullptr && entry->ActionName[0] != '\0' &&
      zevp::UpperCased(entry->ActionName) == kOperatorAction && entry->ActionOwner != nullptr &&
      std::strcmp(entry->ActionOwner, kOperatorOwner) == 0)
    rewriteOperatorCommand(anchor, entry, &rewrite);
  BSV1_GetLock(&anchor->actionListLock);
  rewrite.applyTo(entry);
  BSV1_ReleaseLock(&anchor->actionListLock);
  return rewrite.status == ZEV_ACTION_SUCCESS ? 1 : 0;
}
