// A polled situation's rules: RULESTART hands the request's predicate for one source to
// its data providers, RULESTOP withdraws it. Both travel as rule actions through the
// agent's DCH server, addressed to the source's untouched subnode name, whose host part
// picks the data providers.
#include <vector>

#include "agent_limits.h"
#include "dch/dch_api.h"
#include "dch/dch_protocol.h"
#include "situation_rule.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev_dorvan_agent.h"

TRC_UNIT();

namespace {

constexpr char kRuleStart[] = "RULESTART";
constexpr char kRuleStop[] = "RULESTOP";
// The attribute list of a rule: room for 100 characters per column and 300 more.
constexpr size_t kAttributesPerColumn = 100;
constexpr size_t kAttributesSlack = 300;
// More filter records than any request holds: a framework that never says "no more"
// does not keep the sample here.
constexpr int kMostFilters = 4096;

std::vector<rulePredicate> predicatesOf(Pxraf& request) {
  std::vector<rulePredicate> predicates;
  FLT1_FILTERINFO filter;
  for (int taken = 0; request.GetFilterInfo(&filter) != FLT1_NO_MORE_FILTERS; ++taken) {
    if (taken == kMostFilters) {
      TRC(TRC_ERROR, "Error: more than %d filter records in request %u", kMostFilters, request.Handle());
      break;
    }
    predicates.push_back(rulePredicateOf(filter));
  }
  return predicates;
}

void traceRuleOutcome(int status, const char* verb, const std::string& situation, const char* node, uint32_t id) {
  if (status == 0)
    TRC(TRC_DETAIL, "%s: For situation<%s> node<%s> actionID<%u> distributed.", verb, situation.c_str(), node, id);
  else
    TRC(TRC_ERROR, "Error: %s request failed for situation<%s> node<%s>", verb, situation.c_str(), node);
}

}  // namespace

int zev_dorvan_agent::processRuleStart(int i) {
  subnodeEntry& subnode = subnodes_[i];
  char node[samplesListEntry::kUntouchedNameSize];
  if (!originalSubnodeName(subnode, node)) {
    TRC(TRC_ERROR, "Warning: getOriginalSubnodeName(%s) returned NULL", subnode.subnodeName);
    std::snprintf(node, sizeof node, "%s", subnode.subnodeName);
  }
  userTableColumnsPtr table = columns();
  if (table == nullptr) {
    TRC(TRC_ERROR, "Error: userDataInfo pointer not set.");
    return 1;
  }
  std::string attributes;
  if (formatRuleAttributes(*table, predicatesOf(*this), &attributes) != 0) return 1;
  size_t maxAttributes = static_cast<size_t>(Max_IB_Columns()) * kAttributesPerColumn + kAttributesSlack;
  std::string parameters;
  if (!formatRuleStartParameters(Interval(), *table, attributes, maxAttributes, DCH_MAX_ACTION_PARMS, &parameters))
    return 1;
  subnode.actionID = static_cast<uint32_t>(ActionID());
  int status = dc_provideAction(ZEV_ACTION_RULE, situationName_.c_str(), node, subnode.subnodeName, kRuleStart,
                                static_cast<long>(subnode.actionID), parameters.c_str());
  traceRuleOutcome(status, kRuleStart, situationName_, node, subnode.actionID);
  return status;
}

int zev_dorvan_agent::processRuleStop(int i) {
  subnodeEntry& subnode = subnodes_[i];
  char node[samplesListEntry::kUntouchedNameSize];
  if (!originalSubnodeName(subnode, node)) {
    TRC(TRC_ERROR, "Warning: getOriginalSubnodeName(%s) returned NULL", subnode.subnodeName);
    return 0;
  }
  int status = dc_provideAction(ZEV_ACTION_RULE, situationName_.c_str(), node, subnode.subnodeName, kRuleStop,
                                static_cast<long>(subnode.actionID), nullptr);
  traceRuleOutcome(status, kRuleStop, situationName_, node, subnode.actionID);
  return status;
}
