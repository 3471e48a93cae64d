// Stand-ins for the release functions of the data-provider core, which the
// parser and its tests need before the core's shut-down frees the model: they
// free what the model's constructors made, nothing more. The core's own release
// functions replace this file.
#include <pthread.h>

#include "application_entry.h"
#include "attribute_copies.h"
#include "attribute_entry.h"
#include "dp_anchor.h"
#include "file_spec_control_block.h"
#include "io_entry.h"
#include "model_lists.h"
#include "model_release.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev0/storage.h"

namespace {

void freeAttribute(AttributeEntry* attribute) {
  ZEVP_FreeAttributeOwnedStorage(attribute);
  ZEV0_FreeStorage(&attribute);
}

void freeSource(DPAB* anchor, SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr;) {
    AttributeEntry* next = attribute->next;
    freeAttribute(attribute);
    attribute = next;
  }
  ZEVP_ReleaseIOResources(anchor, source->IO);
  ZEVP_ReleaseFileSpecControl(source);
  ZEV0_FreeStorage(&source->SourceName);
  ZEV0_FreeStorage(&source->pSourceNodeName);
  ZEV0_FreeStorage(&source->FullyQualifiedLU);
  ZEV0_FreeStorage(&source->AttrDelimiter);
  ZEV0_FreeStorage(&source->OutputBuffer);  // made by the first data request
  for (BSV1_Lock* lock : {&source->SummaryLock, &source->AttributeLock, &source->DataLock, &source->ActionListLock,
                          &source->EntryLock})
    BSV1_DestroyLock(lock);
  ZEV0_FreeStorage(&source);
}

void freeTable(DPAB* anchor, TableEntry* table) {
  for (SourceEntry* source = table->FirstSource; source != nullptr;) {
    SourceEntry* next = source->next;
    freeSource(anchor, source);
    source = next;
  }
  ZEV0_FreeStorage(&table->HelpBuffer);
  ZEV0_FreeStorage(&table->RecordSetText);
  ZEV0_FreeStorage(&table->RecordSetDelimiter);
  ZEV0_FreeStorage(&table->ConfirmText);
  ZEV0_FreeStorage(&table->ModuleName);
  ZEV0_FreeStorage(&table->LineReadBuffer);
  BSV1_DestroyLock(&table->SourceListLock);
  BSV1_DestroyLock(&table->CounterLock);
  ZEV0_FreeStorage(&table);
}

}  // namespace

void ZEVP_ReleaseApplResources(DPAB* anchor, ApplicationEntry* application, int /*keepRegistration*/) {
  if (application == nullptr) return;
  BSV1_GetLock(&anchor->applicationListLock);
  zevp::RemoveFromList(&anchor->applications, application, &ApplicationEntry::next);
  BSV1_ReleaseLock(&anchor->applicationListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr;) {
    TableEntry* next = table->next;
    freeTable(anchor, table);
    table = next;
  }
  ZEV0_FreeStorage(&application->MetafileName);
  ZEV0_FreeStorage(&application->MetafileNameUpper);
  ZEV0_FreeStorage(&application->EnterpriseName);
  ZEV0_FreeStorage(&application->EnterpriseOID);
  ZEV0_FreeStorage(&application->ApplHelp);
  BSV1_DestroyLock(&application->TableListLock);
  BSV1_DestroyLock(&application->EntryLock);
  ZEV0_FreeStorage(&application);
}

void ZEVP_ReleaseAttributeEntry(SourceEntry* source, AttributeEntry* attribute) {
  BSV1_GetLock(&source->AttributeLock);
  zevp::RemoveFromList(&source->FirstAttribute, attribute, &AttributeEntry::next);
  BSV1_ReleaseLock(&source->AttributeLock);
  freeAttribute(attribute);
}

void ZEVP_ReleaseIOResources(DPAB* anchor, IOEntry* entry) {
  if (entry == nullptr) return;
  struct KindList {
    IOEntry** list;
    BSV1_Lock* lock;
  };
  BSV1_GetLock(&anchor->ioListLock);
  zevp::RemoveFromList(&anchor->ioEntries, entry, &IOEntry::NextAll);
  BSV1_ReleaseLock(&anchor->ioListLock);
  for (KindList kind : {KindList{&anchor->fileIOEntries, &anchor->fileIOListLock},
                        KindList{&anchor->sockIOEntries, &anchor->sockIOListLock},
                        KindList{&anchor->apiIOEntries, &anchor->apiIOListLock},
                        KindList{&anchor->appcIOEntries, &anchor->appcIOListLock}}) {
    BSV1_GetLock(kind.lock);
    zevp::RemoveFromList(kind.list, entry, &IOEntry::NextOfKind);
    BSV1_ReleaseLock(kind.lock);
  }
  pthread_mutex_destroy(&entry->Mutex);
  pthread_cond_destroy(&entry->Condition);
  BSV1_DestroyLock(&entry->Lock);
  ZEV0_FreeStorage(&entry);
}
