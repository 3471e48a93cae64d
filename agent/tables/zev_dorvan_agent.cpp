#include "zev_dorvan_agent.h"

#include <cstdio>
#include <cstring>

#include "action_table_subnode.h"
#include "agent_limits.h"
#include "dch/channel_functions.h"
#include "row_layout.h"
#include "samples_list.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Deferral kinds as the registry keeps them.
constexpr int kSamplingRequest = 0;
constexpr int kEventRequest = 1;

template <size_t N>
void copyName(char (&field)[N], const char* text) {
  std::snprintf(field, N, "%s", text != nullptr ? text : "");
}

unsigned long baselineAfterEmission() {
  return Emit_Dup_Rec() != 0 ? 0 : static_cast<unsigned long>(rowStoreNow());
}

}  // namespace

zev_dorvan_agent::zev_dorvan_agent(RequestDetail* detail, ContextInfo* context, zev_dorvan_manager* manager)
    : zev_dorvan_base(detail, context, manager) {
  TakeSampleConstructor();
}

zev_dorvan_agent::~zev_dorvan_agent() {
  // Every deferral of the request, also for subnodes whose source was never resolved;
  // the registry's check of the request's handle stays as a second guard.
  if (samplesList* registry = dataSamples()) registry->removeDeferRequests(this);
  TakeSampleDestructor();
}

const char* zev_dorvan_agent::subnodeName(int i) const {
  return i >= 0 && i < numberOfSubnodes_ ? subnodes_[i].subnodeName : nullptr;
}

const char* zev_dorvan_agent::originNode(int i) const {
  return i >= 0 && i < numberOfSubnodes_ ? subnodes_[i].originNode : nullptr;
}

void zev_dorvan_agent::TakeSampleConstructor() {
  sampleType_ = _get_sampletype();
  std::snprintf(applKey_, sizeof applKey_, "%.3s", ApplicationName());
  tableName_ = TableName();
  handle_ = Handle();
  situationName_ = SituationName();
  kind_ = requestKindOf(situationName_.c_str(), sampleType_, _get_instructions());
  if (kind_ == kUnrecognised) {
    TRC(TRC_ERROR, "Error: Unrecognized Request type %d @%p/%u", sampleType_, static_cast<void*>(this), handle_);
    status_ = 1;
    return;
  }
  takeSubnodes();
  sampleBaseline_ = Emit_Dup_Rec() != 0 ? static_cast<unsigned long>(rowStoreNow()) : 0;
  if (status_ == 0 && sampleType_ == IntfSampleType_event) startEventMonitoring();
}

void zev_dorvan_agent::takeSubnodes() {
  bool actionTable = tableName_ == ACTIONtableName();
  ResetGetSubnode();
  while (status_ == 0) {
    const char* requested = GetSubnode();
    if (requested == nullptr || requested[0] == '\0') break;
    if (numberOfSubnodes_ == kMaxSubnodes) {
      TRC(TRC_ERROR, "Warning: Max subnodes %d per request has been reached.", kMaxSubnodes);
      break;
    }
    int i = numberOfSubnodes_++;
    subnodeEntry& subnode = subnodes_[i];
    copyName(subnode.originNode, requested);
    std::string served = actionTable ? actionTableSubnode(subnode.originNode) : std::string(subnode.originNode);
    copyName(subnode.subnodeName, served.c_str());
    int status = checkSubnodeName2TableName(subnode.subnodeName);
    subnode.subnodeStatus = status;
    if (status == kNotOnline) {
      TRC(TRC_DETAIL, "Subnode<%d/%s> offline.", i, subnode.subnodeName);
      continue;
    }
    if (sampleType_ == IntfSampleType_exception) {
      processRuleStart(i);
      subnode.ruleStarted = true;
    }
    status_ = setSrcNameFromSubnodeName(subnode);
  }
}

void zev_dorvan_agent::startEventMonitoring() {
  for (int i = 0; i < numberOfSubnodes_ && status_ == 0; ++i) status_ = eventMonitoring(i);
}

int zev_dorvan_agent::eventMonitoring(int i) {
  return subnodes_[i].subnodeStatus == kNotOnline ? deferForSubnode(i, kEventRequest) : 0;
}

int zev_dorvan_agent::deferForSubnode(int i, int kind) {
  subnodeEntry& subnode = subnodes_[i];
  if (int status = ZEVA_GetApplKeyFromSubNodeName(subnode.subnodeName, subnode.applKey)) return status;
  if (std::strncmp(subnode.applKey, applKey_, 3) != 0) {
    TRC(TRC_DETAIL, "<@%p> HIST subnode<%s> not part of applKey<%s>.", static_cast<void*>(this), subnode.subnodeName,
        applKey_);
    return 0;
  }
  samplesList* registry = dataSamples();
  if (registry == nullptr ||
      registry->requestDefer(subnode.applKey, subnode.subnodeName, this, handle_, kind) != 0) {
    TRC(TRC_ERROR, "Error: requestDefer<%s/%s/%s> failed.", subnode.applKey, subnode.subnodeName,
        tableName_.c_str());
    return 1;
  }
  TRC(TRC_DETAIL, "Request<@%p - %u> for <%s/%s/%s> added to defer queue.", static_cast<void*>(this), handle_,
      subnode.applKey, subnode.subnodeName, tableName_.c_str());
  return 0;
}

int zev_dorvan_agent::checkSubnodeName2TableName(const char* subnodeName) {
  samplesList* registry = dataSamples();
  if (registry == nullptr || registry->subnodeOnlineForTable(subnodeName, tableName_.c_str()) == 0) return kNotOnline;
  TRC(TRC_DETAIL, "Subnode(%s) table(%s) online.", subnodeName, tableName_.c_str());
  return kOnline;
}

bool zev_dorvan_agent::originalSubnodeName(const subnodeEntry& subnode,
                                           char (&node)[samplesListEntry::kUntouchedNameSize]) {
  samplesList* registry = dataSamples();
  return registry != nullptr && registry->getOriginalSubnodeName(subnode.subnodeName, tableName_.c_str(), node);
}

int zev_dorvan_agent::setSrcNameFromSubnodeName(subnodeEntry& subnode) {
  if (subnode.sourceName[0] != '\0') return 0;
  char untouched[samplesListEntry::kUntouchedNameSize];
  if (!originalSubnodeName(subnode, untouched)) {
    TRC(TRC_ERROR, "Warning: could not find original subnodeName from node<%s> table<%s> combination.",
        subnode.subnodeName, tableName_.c_str());
    return 1;
  }
  // The source is the untouched name's part before its ':'.
  const char* colon = std::strchr(untouched, ':');
  size_t length = colon != nullptr ? static_cast<size_t>(colon - untouched) : 0;
  if (length == 0 || length >= sizeof subnode.sourceName) {
    TRC(TRC_ERROR, "Error: could not find sourceName from <%s>", untouched);
    return 1;
  }
  std::memcpy(subnode.sourceName, untouched, length);
  subnode.sourceName[length] = '\0';
  TRC(TRC_DETAIL, "SourceName set to <%s>", subnode.sourceName);
  return 0;
}

void zev_dorvan_agent::TakeSample() {
  if (status_ != 0) return;
  ClearCount();
  for (int i = 0; i < numberOfSubnodes_ && status_ == 0; ++i) {
    subnodeEntry& subnode = subnodes_[i];
    if (subnode.subnodeStatus == kNotOnline) subnode.subnodeStatus = checkSubnodeName2TableName(subnode.subnodeName);
    if (subnode.subnodeStatus == kNotOnline) {
      status_ = deferForSubnode(i, kSamplingRequest);
      continue;
    }
    if (sampleType_ == IntfSampleType_exception && !subnode.ruleStarted) {
      status_ = processRuleStart(i);
      if (status_ != 0) break;
      subnode.ruleStarted = true;
    }
    status_ = setSrcNameFromSubnodeName(subnode);
    if (status_ == 0) status_ = emitRows(subnode);
    if (status_ == 0) sampleBaseline_ = baselineAfterEmission();
  }
}

// The row list is held while its rows go out: its source may go offline meanwhile.
int zev_dorvan_agent::emitRows(subnodeEntry& subnode) {
  samplesList* registry = dataSamples();
  std::shared_ptr<dataList> rows =
      registry != nullptr ? registry->dataListPtr(applKey_, tableName_.c_str(), subnode.sourceName) : nullptr;
  if (rows == nullptr) {
    TRC(TRC_DETAIL, "No dataList for <%s/%s/%s>: nothing emitted.", applKey_, tableName_.c_str(), subnode.sourceName);
    return 0;
  }
  int emitted = 0;
  switch (kind_) {
    case kPolledSituation:
    case kHistory:
      emitted = rows->emitToRAF(*this, subnode.originNode, sampleBaseline_);
      break;
    case kSituationCurrent:
    case kReport:
    case kPeriodicReport:
      emitted = rows->emitToRAF(*this, subnode.originNode, 0);
      break;
    case kUnrecognised:
      TRC(TRC_ERROR, "Error: Unknown request type: %d", kind_);
      return 1;
    default:
      TRC(TRC_ERROR, "Error: Unsupported request type: %d", kind_);
      return 1;
  }
  TRC(TRC_DETAIL, "%d row(s) of <%s/%s> emitted for subnode <%s>.", emitted, tableName_.c_str(), subnode.sourceName,
      subnode.subnodeName);
  return 0;
}

int zev_dorvan_agent::AddData(void* row, int rowSize) {
  SetRowSize(rowSize);
  char* bytes = static_cast<char*>(row);
  if (sampleType_ == IntfSampleType_demand || IsRowException(bytes)) return InsertRow(bytes);
  return 2;
}

int zev_dorvan_agent::redriveRequest(const char* subnodeName, const char* tableName, int requestKind) {
  for (int i = 0; i < numberOfSubnodes_; ++i) {
    subnodeEntry& subnode = subnodes_[i];
    if (subnodeName == nullptr || std::strcmp(subnode.subnodeName, subnodeName) != 0) continue;
    TRC(TRC_DETAIL, "Redriving request<@%p/%u> for subnode<%s> table<%s> kind %d", static_cast<void*>(this), handle_,
        subnodeName, tableName != nullptr ? tableName : "", requestKind);
    if (tableName != nullptr && tableName_ == tableName) subnode.subnodeStatus = kOnline;
    return 0;
  }
  TRC(TRC_ERROR, "Error: could not find subNode<%s>", subnodeName != nullptr ? subnodeName : "(null)");
  return 1;
}

// A request in error still withdraws the rules it started.
void zev_dorvan_agent::TakeSampleDestructor() {
  if (sampleType_ == IntfSampleType_demand) return;
  int status = 0;
  for (int i = 0; i < numberOfSubnodes_ && status == 0; ++i) status = processRuleStop(i);
}
