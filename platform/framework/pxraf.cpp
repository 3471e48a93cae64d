// A request's identity, subnodes, predicates, columns and the framework's own virtual
// operations.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "internal/pxraf_state.h"
#include "internal/request_detail.h"
#include "trc1.h"

TRC_UNIT();

namespace {

std::string cut(const std::string& text, size_t length) { return text.substr(0, length); }

}  // namespace

Pxraf::Pxraf(RequestDetail* detail, ContextInfo* context, TableManager* manager) : state_(new State) {
  if (detail != nullptr) {
    state_->spec = detail->spec;
    state_->handle = detail->handle;
  }
  state_->automation = context != nullptr && context->automation;
  state_->manager = manager;
}

Pxraf::~Pxraf() = default;

const char* Pxraf::ApplicationName() { return state_->spec.application.c_str(); }

const char* Pxraf::TableName() { return state_->spec.table.c_str(); }

const char* Pxraf::SituationName() { return state_->spec.situation.c_str(); }

int Pxraf::Interval() { return state_->spec.interval; }

int Pxraf::_get_sampletype() { return state_->spec.sampleType; }

const char* Pxraf::_get_instructions() { return state_->spec.instructions.c_str(); }

uint32_t Pxraf::Handle() { return state_->handle; }

int Pxraf::IsAutomationRequest() { return state_->automation ? 1 : 0; }

void Pxraf::ResetGetSubnode() { state_->nextSubnode = 0; }

const char* Pxraf::GetSubnode() {
  State& state = *state_;
  state.subnode[0] = '\0';
  if (state.nextSubnode < state.spec.subnodes.size()) {
    std::snprintf(state.subnode, sizeof state.subnode, "%s", state.spec.subnodes[state.nextSubnode].c_str());
    ++state.nextSubnode;
  }
  return state.subnode;
}

int Pxraf::GetFilterInfo(FLT1_FILTERINFO* info) {
  State& state = *state_;
  if (state.nextFilter >= state.spec.predicates.size()) {
    state.nextFilter = 0;
    return FLT1_NO_MORE_FILTERS;
  }
  const raf::Predicate& predicate = state.spec.predicates[state.nextFilter++];
  if (info == nullptr) return 0;
  std::memset(info, 0, sizeof *info);
  info->logicalOperator = static_cast<int16_t>(predicate.logical);
  info->comparisonOperator = static_cast<int16_t>(predicate.comparison);
  info->functionType = predicate.function;
  std::snprintf(info->columnName, sizeof info->columnName, "%s", predicate.column.c_str());
  info->valueLength = static_cast<int16_t>(std::min<size_t>(predicate.value.size(), INT16_MAX));
  info->value = predicate.value.c_str();
  return 0;
}

const char* Pxraf::GetFirstThreshold(const char* column) {
  if (column == nullptr) return nullptr;
  for (const raf::Predicate& predicate : state_->spec.predicates)
    if (strcasecmp(predicate.column.c_str(), column) == 0) return predicate.value.c_str();
  return nullptr;
}

_IntfOper Pxraf::GetFirstOperator(const char* column) {
  if (column == nullptr) return IntfOper_None;
  for (const raf::Predicate& predicate : state_->spec.predicates)
    if (strcasecmp(predicate.column.c_str(), column) == 0) return static_cast<_IntfOper>(predicate.comparison);
  return IntfOper_None;
}

void Pxraf::DumpThresholds() {
  for (const raf::Predicate& predicate : state_->spec.predicates)
    TRC(TRC_DETAIL, "    threshold <%s> operator %d value <%s> function %d logical %d", predicate.column.c_str(),
        predicate.comparison, predicate.value.c_str(), predicate.function, predicate.logical);
}

void Pxraf::PrintSelf() {
  TRC(TRC_DETAIL, "Pxraf @%p handle %u application <%s> table <%s> situation <%s> interval %d sampletype %d",
      static_cast<void*>(this), Handle(), ApplicationName(), TableName(), SituationName(), Interval(),
      _get_sampletype());
  DumpThresholds();
  TRC(TRC_DETAIL, "    rows %d of %d bytes, %d allocated", NumDataItems(), DataSize(), RowsAllocated());
}

int Pxraf::NumColumns() { return 0; }

int Pxraf::GetColumnInfo(ColumnInfo*, int) { return RAF_STATUS_BAD_COLUMN; }

int Pxraf::GetColumnInfoByName(ColumnInfo* info, const char* name) {
  if (info == nullptr || name == nullptr) return RAF_STATUS_BAD_COLUMN;
  int last = NumColumns();
  for (int column = 0; column <= last; ++column) {
    ColumnInfo candidate{};
    if (GetColumnInfo(&candidate, column) != 0) continue;
    candidate.name[sizeof candidate.name - 1] = '\0';
    candidate.attributeName[sizeof candidate.attributeName - 1] = '\0';
    if (strcasecmp(candidate.name, name) == 0) {
      *info = candidate;
      return 0;
    }
  }
  return RAF_STATUS_BAD_COLUMN;
}

int Pxraf::CheckForException(char* row) {
  if (row == nullptr) return 0;
  for (const raf::Predicate& predicate : state_->spec.predicates) {
    if (predicate.function != 0) continue;
    std::string column = cut(predicate.column, RAF_COLUMN_NAME_SIZE - 1);
    std::string value = predicate.value;
    if (!ColumnIsException(row, column.data(), static_cast<_IntfOper>(predicate.comparison), value.data())) return 0;
  }
  return 1;
}

int Pxraf::ColumnIsException(char* row, char* column, _IntfOper oper, char* value) {
  ColumnInfo info{};
  if (row == nullptr || GetColumnInfoByName(&info, column) != 0) return 0;
  if (info.offset < 0 || info.length <= 0 || info.length > DataSize() - info.offset) return 0;
  const char* field = row + info.offset;
  if (info.type == RAF_COLUMN_INTEGER_4 && info.length >= 4) return IsException(oper, field, IntfInteger_4, value);
  if (info.type == RAF_COLUMN_INTEGER_2 && info.length >= 2) return IsException(oper, field, IntfInteger_2, value);
  return IsException(oper, field, value, info.length);
}

int Pxraf::AddData(void* data, int count) {
  if (data == nullptr) return 1;
  int size = DataSize();
  char* row = static_cast<char*>(data);
  for (int i = 0; i < count; ++i, row += size) {
    if (!CheckForException(row)) continue;
    int status = InsertRow(row);
    if (status != 0) return status;
  }
  return 0;
}
