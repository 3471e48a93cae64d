#include "raf_demo_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rafdemo {

namespace {

struct DemoColumn {
  const char* name;
  const char* attribute;
  int type;
  int length;
  int offset;
};

const DemoColumn kColumns[] = {
    {"ORIGINNODE", "Node_Name", RAF_COLUMN_TEXT, 32, 0},
    {"DV1", "Job_Name", RAF_COLUMN_TEXT, 16, 32},
    {"DV2", "Count", RAF_COLUMN_INTEGER_4, 4, 48},
    {"DV3", "", RAF_COLUMN_INTEGER_2, 2, 52},
};

std::string padded(const std::string& text, size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, ' ');
  return field;
}

std::mutex seenLock;
std::vector<SeenCommand> seen;

}  // namespace

std::string Row(const std::string& origin, const std::string& job, int32_t count, int16_t level) {
  std::string row = padded(origin, 32) + padded(job, 16);
  row.append(reinterpret_cast<const char*>(&count), sizeof count);
  row.append(reinterpret_cast<const char*>(&level), sizeof level);
  return row;
}

DemoManager::DemoManager(const char* application, const char* table) : TableManager(application, table) {}

DemoManager::~DemoManager() = default;

Pxraf* DemoManager::CreatePxraf(RequestDetail* detail, ContextInfo* context) {
  if (refuseRequests.load()) return nullptr;
  ++requestsMade;
  return new DemoRequest(detail, context, this);
}

void DemoManager::SetRows(const std::string& subnode, const std::vector<std::string>& rows) {
  std::lock_guard<std::mutex> guard(rowsLock_);
  rows_[subnode] = rows;
}

std::vector<std::string> DemoManager::RowsOf(const std::string& subnode) {
  std::lock_guard<std::mutex> guard(rowsLock_);
  auto found = rows_.find(subnode);
  return found != rows_.end() ? found->second : std::vector<std::string>();
}

int DemoManager::PushEvent(const std::string& row) {
  std::string copy = row;
  int status = 0;
  lock();
  PxrafListIter walk(RequestList());
  while (Pxraf* listed = walk.Next()) {
    Pxraf* request = Pxraf::UseHandle(listed->Handle());
    if (request == nullptr) continue;
    request->AddData(copy.data(), 1);
    int dispatched = request->Dispatch();
    if (dispatched != 0) status = dispatched;
    request->ClearCount();
    request->Drop();
  }
  unlock();
  return status;
}

DemoRequest::DemoRequest(RequestDetail* detail, ContextInfo* context, DemoManager* manager)
    : Pxraf(detail, context, manager), manager_(manager) {
  SetRowSize(kRowSize);
  SetAllocationDefault(2);
  ResetGetSubnode();
  for (const char* subnode = GetSubnode(); subnode[0] != '\0'; subnode = GetSubnode()) subnodes.push_back(subnode);
  FLT1_FILTERINFO filter;
  while ((filterEnd = GetFilterInfo(&filter)) == 0) {
    filters.push_back(filter);
    filterValues.emplace_back(filter.value, filter.valueLength);
  }
}

DemoRequest::~DemoRequest() {
  if (manager_->duringDestruction) manager_->duringDestruction();
  ++manager_->requestsDeleted;
}

void DemoRequest::TakeSample() {
  if (manager_->duringSample) manager_->duringSample();
  ClearCount();
  for (const std::string& subnode : subnodes) {
    std::string rows;
    for (const std::string& row : manager_->RowsOf(subnode)) rows += row;
    AddData(rows.data(), static_cast<int>(rows.size() / kRowSize));
  }
}

int DemoRequest::NumColumns() { return 3; }

int DemoRequest::GetColumnInfo(ColumnInfo* info, int column) {
  if (info == nullptr || column < 0 || column > NumColumns()) return RAF_STATUS_BAD_COLUMN;
  const DemoColumn& described = kColumns[column];
  std::snprintf(info->name, sizeof info->name, "%s", described.name);
  std::snprintf(info->attributeName, sizeof info->attributeName, "%s", described.attribute);
  info->type = described.type;
  info->length = described.length;
  info->offset = described.offset;
  return 0;
}

int DemoCommand(PxrafAutomationCapsule* capsule) {
  Pxraf* request = capsule->Request();
  SeenCommand command;
  command.command = capsule->Command();
  command.table = request->TableName();
  command.situation = request->SituationName();
  command.automation = request->IsAutomationRequest();
  request->ResetGetSubnode();
  for (const char* subnode = request->GetSubnode(); subnode[0] != '\0'; subnode = request->GetSubnode())
    command.subnodes.push_back(subnode);
  if (const char* row = request->Data(capsule->DataRowNum())) command.firingRow.assign(row, request->DataSize());
  // The capsule's text is the callback's to change.
  if (capsule->Command()[0] != '\0') capsule->Command()[0] = '*';
  int result = std::strncmp(command.command.c_str(), "RESULT ", 7) == 0 ? std::atoi(command.command.c_str() + 7) : 0;
  {
    std::lock_guard<std::mutex> guard(seenLock);
    seen.push_back(command);
  }
  capsule->SetResults(result);
  request->FinishedAutomationCommand(capsule);
  return result;
}

std::vector<SeenCommand> TakeSeenCommands() {
  std::lock_guard<std::mutex> guard(seenLock);
  std::vector<SeenCommand> taken;
  taken.swap(seen);
  return taken;
}

}  // namespace rafdemo
