#include "partner_sources.h"

#include "attribute_copies.h"
#include "attribute_order.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_text.h"
#include "model_lists.h"
#include "model_release.h"
#include "source_entry.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

SourceEntry* firstWithAttributes(TableEntry* group) {
  BSV1_GetLock(&group->SourceListLock);
  SourceEntry* model = group->FirstSource;
  while (model != nullptr && model->FirstAttribute == nullptr) model = model->next;
  BSV1_ReleaseLock(&group->SourceListLock);
  return model;
}

void countSource(TableEntry* group, int32_t change) {
  BSV1_GetLock(&group->CounterLock);
  group->SourceCount += change;
  BSV1_ReleaseLock(&group->CounterLock);
}

}  // namespace

void CopyGroupDefinition(TableEntry* group, SourceEntry* source) {
  SourceEntry* model = firstWithAttributes(group);
  if (model == nullptr || model == source) return;
  // The one source alone: the copy for a whole group holds the group's list while
  // it takes each source's entry lock, which the DCH client holds around a request.
  if (ZEVP_DuplicateSourceAttrs(model, source) == 0)
    TRC(TRC_ERROR, "*** attribute definitions of group %s not copied to source @%p", group->TableName,
        static_cast<void*>(source));
  BSV1_GetLock(&source->DataLock);
  if (source->AttrDelimiter == nullptr && model->AttrDelimiter != nullptr)
    source->AttrDelimiter = NewStorageText(model->AttrDelimiter);
  BSV1_ReleaseLock(&source->DataLock);
  ZEVP_CompleteSummaryTableDefinition(group, 0);
  ZEVP_ConstructAttributeOrderLinkList(nullptr, group);
}

SourceEntry* AddSourceToGroup(DPAB* anchor, TableEntry* group, const char* typeWord, const char* name) {
  SourceEntry* source = ZEVP_InitializeSourceEntry(anchor, group, typeWord, name, nullptr, nullptr);
  if (source == nullptr) return nullptr;
  countSource(group, 1);
  CopyGroupDefinition(group, source);
  return source;
}

void AssociateDynamicSource(SourceEntry* source, TableEntry* group) {
  TRC(TRC_DETAIL, ">>>>> Associate dynamic source @%p to application", static_cast<void*>(source));
  source->Table = group;
  BSV1_GetLock(&group->SourceListLock);
  bool listed = false;
  for (SourceEntry* member = group->FirstSource; member != nullptr && !listed; member = member->next)
    listed = member == source;
  bool others = group->FirstSource != nullptr;
  if (!listed) {
    source->next = nullptr;
    AppendToList(&group->FirstSource, source);
  }
  BSV1_ReleaseLock(&group->SourceListLock);
  if (!listed && others) countSource(group, 1);
}

void DisassociateDynamicSource(SourceEntry* source) {
  TableEntry* group = source->Table;
  if (group == nullptr) return;
  TRC(TRC_DETAIL, ">>>>> Disassociate dynamic source from application");
  BSV1_GetLock(&group->SourceListLock);
  bool head = group->FirstSource == source;
  RemoveFromList(&group->FirstSource, source);
  source->next = nullptr;
  BSV1_ReleaseLock(&group->SourceListLock);
  if (!head) countSource(group, -1);

  BSV1_GetLock(&source->DataLock);
  while (source->FirstAttribute != nullptr) ZEVP_ReleaseAttributeEntry(source, source->FirstAttribute);
  source->FirstInSequence = nullptr;
  ZEVP_ReleaseSavedRows(source);
  ZEV0_FreeStorage(&source->AttrDelimiter);
  ZEV0_FreeStorage(&source->OutputBuffer);
  source->OutputBufferSize = 0;
  BSV1_ReleaseLock(&source->DataLock);
  if (source->Summary != nullptr) {
    BSV1_GetLock(&source->SummaryLock);
    Routines().releaseSummaryManagementBlock(source->Summary);
    source->Summary = nullptr;
    BSV1_ReleaseLock(&source->SummaryLock);
  }
  source->Table = nullptr;
}

void ReleaseDynamicPartner(DPAB* anchor, IOEntry* partner) {
  SourceEntry* source = partner->Source;
  TRC(TRC_DETAIL, "Releasing resources for source entry @%p", static_cast<void*>(source));
  DisassociateDynamicSource(source);
  ReleaseUnlistedSource(anchor, source);
}

}  // namespace zevp
