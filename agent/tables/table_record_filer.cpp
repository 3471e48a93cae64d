#include "table_record_filer.h"

#include <cstring>
#include <new>

#include "action_opt_log.h"
#include "agent_limits.h"
#include "bsv1.h"
#include "dch/channel_functions.h"
#include "dch_message_parser.h"
#include "record_row.h"
#include "record_source.h"
#include "samples_list.h"
#include "table_manager_list.h"
#include "trc1.h"
#include "user_data_info.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

namespace {

// The server's clear of the stored values, filed as the end of a sample set.
constexpr uint16_t kClearRecord = 255;
// A source is waited for at least as long as the status monitor waits for an
// application's definition: a first ten-second wait and Max_Wait_UDL() more, 3 seconds
// apart.
constexpr int kDefinitionWaitSeconds = 10;
constexpr int kBetweenDefinitionWaitsSeconds = 3;

int sourceWaitSeconds() {
  int waits = Max_Wait_UDL() > 0 ? Max_Wait_UDL() : 0;
  return kDefinitionWaitSeconds + waits * (kBetweenDefinitionWaitsSeconds + kDefinitionWaitSeconds);
}

std::shared_ptr<const rowLayout> layoutOf(const userDataInfo& table) {
  auto layout = std::make_shared<rowLayout>();
  layout->sampleType = table.sampleType();
  for (int column = 0; column < table.noOfColumns(); ++column)
    layout->columns.push_back(rowColumn{table.columnOffset(column), table.columnLength(column),
                                        table.columnType(column), table.columnKeyed(column) != 0});
  return layout;
}

std::shared_ptr<dataList> newDataList(const userDataInfo& table, const char* sourceName) {
  try {
    return std::make_shared<dataList>(table.applKey(), table.tableNameRR(), sourceName, table.rowSize(), table.TTL());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

tableRecordFiler::tableRecordFiler(userDataInfo& table)
    : table_(table),
      layout_(layoutOf(table)),
      actionLog_(std::strcmp(table.applName(), "DVAGENT") == 0 && std::strcmp(table.attrGroup(), "ACTION") == 0) {
  const char* tableName = table.tableNameRR();
  size_t length = std::strlen(tableName);
  if (length >= 2) std::memcpy(tableSuffix_, tableName + length - 2, 2);
}

int tableRecordFiler::fileRecord(char* record, size_t length) {
  DataFieldReader fields(record, length);
  DCHrowHead head;
  if (!DCH_ParseRowHead(fields, &head)) return 1;
  char sourceName[kRecordSourceNameSize];
  recordSourceName(head.sourceName.data, head.sourceName.length, sourceName);
  TRC(TRC_DETAIL, "Record for table <%s> received from source <%s>, control field %u.", table_.tableNameRR(),
      sourceName, head.controlField);

  samplesList* registry = dataSamples();
  if (registry == nullptr) {
    TRC(TRC_ERROR, "Error: no samplesList: record of source <%s> dropped.", sourceName);
    return 0;
  }
  std::shared_ptr<dataList> list;
  Outcome found = findRowList(*registry, sourceName, &list);
  if (found != Outcome::filed) return found == Outcome::failed ? 1 : 0;

  tableManagerList* managers = tableManagers();
  zev_dorvan_manager* manager =
      managers != nullptr ? managers->getTblMgr(table_.applNameRR(), table_.tableNameRR()) : nullptr;
  if (manager == nullptr) {
    TRC(TRC_ERROR, "Error: getting TableManager for <%s/%s>", table_.applNameRR(), table_.tableNameRR());
    return 1;
  }
  char subnodeName[samplesListEntry::kSubnodeNameSize] = {};
  if (ZEVA_SetSubnodeName(table_.applName(), table_.attrGroup(), sourceName, tableSuffix_, subnodeName, nullptr) != 0)
    subnodeName[0] = '\0';

  recordRow filled = fillRecordRow(fields, *layout_, table_.rowSize(), table_.tableNameRR());
  if (filled.row == nullptr) return 1;
  if (filled.offsetError) table_.printSelf();
  if (!keysRegistered_) registerKeys(*list);
  keysRegistered_ = true;
  list->userData(layout_);
  // A clear record carries no action: its row is blanks.
  if (actionLog_ && head.controlField != kClearRecord && writeOptLog() == 'Y')
    processOptLog(filled.row.get(), table_.rowSize());

  int refused = head.controlField == kClearRecord
                    ? list->addEntry(kSetEnd, nullptr, 0)
                    : list->addEntry(static_cast<int16_t>(head.controlField), std::move(filled.row), filled.noValueFlag);
  TRC(TRC_DETAIL, "Record for table <%s> of source <%s> %s by dataList @%p.", table_.tableNameRR(), sourceName,
      refused == 0 ? "filed" : "refused", static_cast<void*>(list.get()));
  // Only a new row is an event: a set record or a refused row would push the last one again.
  if (table_.sampleType() == 'E' && head.controlField == kSingleRow && refused == 0)
    list->emitEvent(manager, subnodeName);
  if (DV_Debug() == 1) {
    registry->printList();
    list->printList();
  }
  return filled.offsetError ? 1 : 0;
}

tableRecordFiler::Outcome tableRecordFiler::findRowList(samplesList& registry, const char* sourceName,
                                                        std::shared_ptr<dataList>* list) {
  *list = registry.dataListPtr(table_.applKey(), table_.tableNameRR(), sourceName);
  if (*list != nullptr) {
    (*list)->setTTL(table_.TTL());
    return Outcome::filed;
  }
  *list = newDataList(table_, sourceName);
  if (*list == nullptr) {
    TRC(TRC_ERROR, "Error: dataList creation failed");
    return Outcome::failed;
  }
  Outcome recorded = recordRowList(registry, sourceName, list);
  // The entry keeps a list it has taken over from its source's earlier online.
  if (recorded == Outcome::filed) {
    std::shared_ptr<dataList> hung = registry.dataListPtr(table_.applKey(), table_.tableNameRR(), sourceName);
    if (hung != nullptr) *list = std::move(hung);
  }
  return recorded;
}

// The status monitor records a source in the registry only once the application's
// definition is built, so the first rows of a source may come before its entry.
// A thread that is stopping files the record all the same: the table is being built
// anew for the source's next online, which takes the rows over.
tableRecordFiler::Outcome tableRecordFiler::recordRowList(samplesList& registry, const char* sourceName,
                                                          std::shared_ptr<dataList>* list) {
  int attempts = 1;
  for (int waited = 0; registry.updateDataList(table_.applKey(), table_.attrGroup(), sourceName, *list) != 0;
       waited += kRetrySeconds, ++attempts) {
    if (table_.stopRequested()) {
      TRC(TRC_DETAIL, "Record of source <%s> left for its next online: the data thread of table <%s> is stopping.",
          sourceName, table_.tableNameRR());
      *list = registry.leaveDataList(*list);
      keysRegistered_ = false;
      return Outcome::filed;
    }
    if (waited >= sourceWaitSeconds()) {
      TRC(TRC_ERROR, "Error: no samplesList entry for <%s/%s/%s> after %d attempt(s): record dropped.",
          table_.applKey(), table_.tableNameRR(), sourceName, attempts);
      return Outcome::dropped;
    }
    BSV1_Sleep(kRetrySeconds);
  }
  TRC(TRC_DETAIL, "dataList @%p recorded in samplesList after %d attempt(s).", static_cast<void*>(list->get()),
      attempts);
  keysRegistered_ = false;
  return Outcome::filed;
}

void tableRecordFiler::registerKeys(dataList& list) {
  for (size_t column = 1; column < layout_->columns.size(); ++column) {
    const rowColumn& key = layout_->columns[column];
    if (key.keyed) list.addKey(static_cast<int>(column), key.type, key.offset, key.length);
  }
}
