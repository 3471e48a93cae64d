#include "model_release.h"

#include "attribute_copies.h"
#include "delayed_offline.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "model_records.h"
#include "odbc_block.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// Clears the anchor's references to a record about to be freed, so nothing on the
// anchor points at freed storage.
template <typename Record>
void Forget(Record*& reference, const Record* freed) {
  if (reference == freed) reference = nullptr;
}

template <typename Record>
void Forget(std::atomic<Record*>& reference, const Record* freed) {
  Record* expected = const_cast<Record*>(freed);
  reference.compare_exchange_strong(expected, nullptr);
}

void ForgetAttribute(DPAB* anchor, const AttributeEntry* attribute) {
  if (anchor == nullptr) return;
  Forget(anchor->logTimeAttribute, attribute);
  Forget(anchor->logCategoryAttribute, attribute);
  Forget(anchor->logTextAttribute, attribute);
}

void ForgetSource(DPAB* anchor, const SourceEntry* source) {
  Forget(anchor->logSource, source);
  Forget(anchor->managedURLSource, source);
  Forget(anchor->urlObjectsSource, source);
}

void ForgetTable(DPAB* anchor, const TableEntry* table) {
  for (std::atomic<TableEntry*>& snmpTable : anchor->snmpManagerTables) {
    TableEntry* expected = const_cast<TableEntry*>(table);
    snmpTable.compare_exchange_strong(expected, nullptr);
  }
}

// An attribute with the storage it owns (a copy owns its own).
void FreeAttribute(DPAB* anchor, AttributeEntry* attribute) {
  ForgetAttribute(anchor, attribute);
  attribute->HelpText = nullptr;
  ZEVP_FreeAttributeOwnedStorage(attribute);
  TRC(TRC_STORAGE, "Freeing AttributeEntry @%p", static_cast<void*>(attribute));
  ZEV0_FreeStorage(&attribute);
}

void FreeAttributeList(DPAB* anchor, AttributeEntry* attribute) {
  while (attribute != nullptr) {
    AttributeEntry* next = attribute->next;
    FreeAttribute(anchor, attribute);
    attribute = next;
  }
}

void FreeFileSpec(SourceEntry* source) {
  FileSpecControlBlock* spec = source->FileSpec;
  if (spec == nullptr) return;
  if (spec->CurrentSpecFileName != nullptr) {
    TRC(TRC_STORAGE, "Freeing CurrentSpecFileName @%p", static_cast<void*>(spec->CurrentSpecFileName));
    ZEV0_FreeStorage(&spec->CurrentSpecFileName);
  }
  if (spec->FilePathSpec != nullptr) {
    TRC(TRC_STORAGE, "Freeing FilePathSpec @%p", static_cast<void*>(spec->FilePathSpec));
    ZEV0_FreeStorage(&spec->FilePathSpec);
  }
  ZEV0_FreeStorage(&spec->Extension);
  ZEV0_FreeStorage(&spec->Pattern);
  ZEV0_FreeStorage(&spec->Prefix);
  ZEV0_FreeStorage(&spec->Suffix);
  TRC(TRC_STORAGE, "Freeing FileSpecControlBlock @%p", static_cast<void*>(spec));
  ZEV0_FreeStorage(&source->FileSpec);
}

void ReleaseSource(DPAB* anchor, SourceEntry* source) {
  BSV1_GetLock(&source->DataLock);
  ZEVP_ReleaseSavedRows(source);
  FreeAttributeList(anchor, source->FirstAttribute);
  source->FirstAttribute = nullptr;
  source->FirstInSequence = nullptr;
  BSV1_ReleaseLock(&source->DataLock);

  if (source->IO != nullptr) ZEVP_ReleaseIOResources(anchor, source->IO);
  source->IO = nullptr;
  ZEV0_FreeStorage(&source->SourceName);
  ZEV0_FreeStorage(&source->pSourceNodeName);
  ZEV0_FreeStorage(&source->FullyQualifiedLU);
  ZEV0_FreeStorage(&source->AttrDelimiter);
  ZEV0_FreeStorage(&source->OutputBuffer);
  if (source->Summary != nullptr) {
    BSV1_GetLock(&source->SummaryLock);
    zevp::Routines().releaseSummaryManagementBlock(source->Summary);
    source->Summary = nullptr;
    BSV1_ReleaseLock(&source->SummaryLock);
  }
  FreeFileSpec(source);
  if (source->OwnsTask) ZEVP_DestroyProcessEntry(source->OwningTask);
  source->OwningTask = nullptr;
  for (BSV1_Lock* lock :
       {&source->SummaryLock, &source->AttributeLock, &source->DataLock, &source->ActionListLock, &source->EntryLock})
    BSV1_DestroyLock(lock);
  ForgetSource(anchor, source);
  TRC(TRC_STORAGE, "Freeing source entry @%p", static_cast<void*>(source));
  ZEV0_FreeStorage(&source);
}

void ReleaseTable(DPAB* anchor, TableEntry* table) {
  BSV1_GetLock(&table->SourceListLock);
  SourceEntry* source = table->FirstSource;
  while (source != nullptr) {
    SourceEntry* next = source->next;
    ReleaseSource(anchor, source);
    source = next;
  }
  table->FirstSource = nullptr;
  ZEV0_FreeStorage(&table->RecordSetText);
  ZEV0_FreeStorage(&table->RecordSetDelimiter);
  ZEV0_FreeStorage(&table->LineReadBuffer);
  ZEV0_FreeStorage(&table->ConfirmText);
  ZEV0_FreeStorage(&table->ModuleName);
  if (table->Summary != nullptr) zevp::Routines().releaseSummaryManagementBlock(table->Summary);
  table->Summary = nullptr;
  BSV1_ReleaseLock(&table->SourceListLock);

  ZEVP_ReleaseOMB(anchor, table->Odbc);
  table->Odbc = nullptr;
  if (table->HelpBuffer != nullptr) {
    TRC(TRC_STORAGE, "Freeing table group help @%p", static_cast<void*>(table->HelpBuffer));
    ZEV0_FreeStorage(&table->HelpBuffer);
  }
  BSV1_DestroyLock(&table->SourceListLock);
  BSV1_DestroyLock(&table->CounterLock);
  ForgetTable(anchor, table);
  TRC(TRC_STORAGE, "Freeing table entry @%p", static_cast<void*>(table));
  ZEV0_FreeStorage(&table);
}

// Takes the application out of the anchor's list; one not in the list is left alone.
void UnchainApplication(DPAB* anchor, ApplicationEntry* application) {
  BSV1_GetLock(&anchor->applicationListLock);
  if (anchor->applications == application) {
    anchor->applications = application->next;
  } else {
    for (ApplicationEntry* entry = anchor->applications; entry != nullptr; entry = entry->next) {
      BSV1_GetLock(&entry->EntryLock);
      ApplicationEntry* next = entry->next;
      if (next == application) entry->next = application->next;
      BSV1_ReleaseLock(&entry->EntryLock);
      if (next == application) break;
    }
  }
  application->next = nullptr;
  BSV1_ReleaseLock(&anchor->applicationListLock);
}

// Has the DCH client take the application's sources offline and unregister it,
// through its first source, on the calling thread's entry or the lent one.
void Unregister(DPAB* anchor, ApplicationEntry* application, ProcessEntry* ownEntry) {
  ProcessEntry* waiter = ownEntry;
  if (waiter == nullptr) {
    BSV1_GetLock(&anchor->statPELock);
    waiter = anchor->pStatPE;
  }
  SourceEntry* first = application->FirstTable->FirstSource;
  first->OwningTask = waiter;
  zevp::Routines().updateSourceEntryState(first, ZEVP_Unregister);
  zevp::Routines().queueAndWaitDCHstatus(anchor, waiter, first);
  if (ownEntry == nullptr) BSV1_ReleaseLock(&anchor->statPELock);
}

void FreeApplicationTexts(ApplicationEntry* application) {
  ZEV0_FreeStorage(&application->MetafileNameUpper);
  ZEV0_FreeStorage(&application->MetafileName);
  ZEV0_FreeStorage(&application->EnterpriseName);
  ZEV0_FreeStorage(&application->EnterpriseOID);
  ZEV0_FreeStorage(&application->ApplHelp);
  ZEV0_FreeStorage(&application->BatchOutputFileName);
}

}  // namespace

void ZEVP_ReleaseSavedRows(SourceEntry* source) {
  AttributeEntry* list = source->SavedRows;
  while (list != nullptr) {
    AttributeEntry* nextList = list->NextCopiedList;
    FreeAttributeList(nullptr, list);
    list = nextList;
  }
  source->SavedRows = nullptr;
}

void ZEVP_FreeAttributeCopy(AttributeEntry* list) { FreeAttributeList(nullptr, list); }

void ZEVP_ReleaseApplResources(DPAB* anchor, ApplicationEntry* application, int keepRegistration) {
  if (application == nullptr) return;
  ProcessEntry* ownEntry = ZEVP_LocateOwnProcessEntry(anchor);
  UnchainApplication(anchor, application);
  bool hasTables = application->FirstTable != nullptr;
  if (hasTables && application->FirstTable->FirstSource != nullptr && !keepRegistration)
    Unregister(anchor, application, ownEntry);
  // The delayed-offline copies of the application's sources point into it: they go first.
  ZEVP_DropDelayedOfflineOfApplication(anchor, application);

  BSV1_GetLock(&application->TableListLock);
  BSV1_GetLock(&application->EntryLock);
  TableEntry* table = application->FirstTable;
  while (table != nullptr) {
    TableEntry* next = table->next;
    ReleaseTable(anchor, table);
    table = next;
  }
  application->FirstTable = nullptr;
  BSV1_ReleaseLock(&application->EntryLock);
  BSV1_ReleaseLock(&application->TableListLock);

  if (anchor->batchMode && application->BatchOutputStream != nullptr)
    zevp::Routines().closeBatchOutputFile(application);
  FreeApplicationTexts(application);
  BSV1_DestroyLock(&application->TableListLock);
  BSV1_DestroyLock(&application->EntryLock);
  if (hasTables) {
    TRC(TRC_STORAGE, "Freeing application entry @%p", static_cast<void*>(application));
  } else {
    TRC(TRC_STORAGE, "Freeing ApplicationEntry @%p", static_cast<void*>(application));
  }
  ZEV0_FreeStorage(&application);
}

void ZEVP_ReleaseAttributeEntry(SourceEntry* source, AttributeEntry* attribute) {
  if (source == nullptr || attribute == nullptr) return;
  BSV1_GetLock(&source->AttributeLock);
  bool found = false;
  for (AttributeEntry** place = &source->FirstAttribute; *place != nullptr; place = &(*place)->next) {
    if (*place == attribute) {
      *place = attribute->next;
      found = true;
      break;
    }
  }
  if (found) {
    for (AttributeEntry** place = &source->FirstInSequence; *place != nullptr; place = &(*place)->NextInSequence) {
      if (*place == attribute) {
        *place = attribute->NextInSequence;
        break;
      }
    }
  }
  BSV1_ReleaseLock(&source->AttributeLock);
  if (!found) {
    TRC(TRC_ERROR, "***** Attribute @%p not in the list of source @%p, not freed", static_cast<void*>(attribute),
        static_cast<void*>(source));
    return;
  }
  FreeAttribute(nullptr, attribute);
}

void ZEVP_ReleaseApplGroupHelp(ApplicationEntry* application) {
  if (application == nullptr) return;
  BSV1_GetLock(&application->TableListLock);
  BSV1_GetLock(&application->EntryLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
      BSV1_GetLock(&source->DataLock);
      for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
        attribute->HelpText = nullptr;
      // The key lists are copies: their help references point into the same buffer.
      for (AttributeEntry* list = source->SavedRows; list != nullptr; list = list->NextCopiedList)
        for (AttributeEntry* attribute = list; attribute != nullptr; attribute = attribute->next)
          attribute->HelpText = nullptr;
      BSV1_ReleaseLock(&source->DataLock);
    }
    table->HelpBufferSize = 0;
    table->HelpFillPoint = 0;
    if (table->HelpBuffer != nullptr) {
      TRC(TRC_STORAGE, "Freeing table group help @%p", static_cast<void*>(table->HelpBuffer));
      ZEV0_FreeStorage(&table->HelpBuffer);
    }
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->EntryLock);
  ZEV0_FreeStorage(&application->ApplHelp);
  BSV1_ReleaseLock(&application->TableListLock);
}

namespace zevp {

void ReleaseDelayedOfflineCopies(DPAB* anchor) {
  BSV1_GetLock(&anchor->offlineQueueLock);
  SourceEntry* copy = anchor->delayedOfflineQueue;
  anchor->delayedOfflineQueue = nullptr;
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  while (copy != nullptr) {
    SourceEntry* next = copy->NextInOfflineQueue;
    ZEV0_FreeStorage(&copy);
    copy = next;
  }
}

void ReleaseUnlistedSource(DPAB* anchor, SourceEntry* source) { ReleaseSource(anchor, source); }

}  // namespace zevp
