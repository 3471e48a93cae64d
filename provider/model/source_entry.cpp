#include "source_entry.h"

#include <cctype>
#include <cstring>
#include <string>

#include "bsv1.h"
#include "file_pattern_control_block.h"
#include "io_entry.h"
#include "metafile_text.h"
#include "model_lists.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

struct SourceType {
  const char* word;
  char letter;
};

constexpr SourceType kSourceTypes[] = {
    {"FILE", ZEVP_SOURCE_FILE}, {"SOCK", ZEVP_SOURCE_SOCK}, {"APPC", ZEVP_SOURCE_APPC},
    {"SNMP", ZEVP_SOURCE_SNMP}, {"ODBC", ZEVP_SOURCE_ODBC}, {"BASE", ZEVP_SOURCE_BASE},
};

char sourceLetter(const std::string& type) {
  for (const SourceType& known : kSourceTypes)
    if (type == known.word) return known.letter;
  return '\0';
}

// A quoted file name (one with blanks) loses its quotes.
std::string unquotedFileName(const char* name) {
  std::string text = name;
  if (!text.empty() && zevp::IsQuote(text[0])) {
    size_t last = text.find_last_of(text[0]);
    text = last > 0 ? text.substr(1, last - 1) : text.substr(1);
  }
  return text;
}

// The local host name up to its first '.'.
std::string localNodeName() {
  std::string host = ZEV0_LocalHostNameString();
  return host.substr(0, host.find('.'));
}

void setNodeName(SourceEntry* source, const std::string& node) {
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = zevp::NewStorageText(node);
  source->SourceNodeNameLength = static_cast<int32_t>(node.size());
}

void freeSource(SourceEntry* source) {
  ZEVP_ReleaseFileSpecControl(source);
  ZEV0_FreeStorage(&source->SourceName);
  ZEV0_FreeStorage(&source->pSourceNodeName);
  ZEV0_FreeStorage(&source->FullyQualifiedLU);
  ZEV0_FreeStorage(&source);
}

}  // namespace

SourceEntry* ZEVP_InitializeSourceEntry(DPAB* anchor, TableEntry* table, const char* typeWord, const char* name,
                                        const char* managedSystem, int32_t* fileSourceFlag) {
  if (typeWord == nullptr || *typeWord == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV37E, nullptr);
    return nullptr;
  }
  std::string type = zevp::UpperCased(typeWord);
  char letter = sourceLetter(type);
  std::string sourceName = name != nullptr ? (letter == ZEVP_SOURCE_FILE ? unquotedFileName(name) : name) : "";
  if (letter == ZEVP_SOURCE_APPC && sourceName.find('.') == std::string::npos) {
    ZEVP_DisplayValidationMessage(ZEVPV58E, sourceName.c_str());
    return nullptr;
  }
  if (letter == '\0' || (letter == ZEVP_SOURCE_FILE && sourceName.empty())) {
    ZEVP_DisplayValidationMessage(ZEVPV37E, nullptr);
    return nullptr;
  }
  bool secondFile = letter == ZEVP_SOURCE_FILE && fileSourceFlag != nullptr && *fileSourceFlag != 0;
  if (secondFile && managedSystem == nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV36E, nullptr);
    return nullptr;
  }

  auto* source = static_cast<SourceEntry*>(ZEV0_GetStorage(sizeof(SourceEntry)));
  if (source == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for SourceEntry <%s>", sourceName.c_str());
    return nullptr;
  }
  std::memset(source, 0, sizeof *source);
  TRC(TRC_STORAGE, "Allocated source entry @%p for length %d", static_cast<void*>(source),
      static_cast<int>(sizeof *source));
  source->Table = table;
  source->SourceType = letter;
  if (name != nullptr) {
    source->SourceName = zevp::NewStorageText(sourceName);
    source->SourceNameLength = static_cast<int32_t>(sourceName.size());
  }
  if (letter == ZEVP_SOURCE_APPC) source->FullyQualifiedLU = zevp::NewStorageText(zevp::UpperCased(sourceName));
  setNodeName(source, localNodeName());
  if (letter == ZEVP_SOURCE_FILE) {
    if (managedSystem != nullptr) setNodeName(source, managedSystem);
    if (fileSourceFlag != nullptr) *fileSourceFlag = 1;
    if (!ZEVP_InitializeFileSpecControl(source)) {
      freeSource(source);
      return nullptr;
    }
  }
  // Whole before its I/O entry joins the anchor's lists, where the periodic task's
  // partner watch looks at its state and takes its locks.
  source->State = ZEVP_Initial;
  source->DataSequence = ZEVP_DATA_SEQUENCE_ROW;
  BSV1_Time now;
  BSV1_GetTime(&now);
  source->CreationTime = now.seconds;
  BSV1_InitializeLock(&source->SummaryLock);
  BSV1_InitializeLock(&source->AttributeLock);
  BSV1_InitializeLock(&source->DataLock);
  BSV1_InitializeLock(&source->ActionListLock);
  BSV1_InitializeLock(&source->EntryLock);
  source->IO = ZEVP_InitializeIOEntry(anchor, source, letter);
  if (source->IO == nullptr) {
    TRC(TRC_ERROR, "***** Unable to initialize IO entry for SOURCE statement. Ignored");
    for (BSV1_Lock* lock : {&source->SummaryLock, &source->AttributeLock, &source->DataLock, &source->ActionListLock,
                            &source->EntryLock})
      BSV1_DestroyLock(lock);
    freeSource(source);
    return nullptr;
  }
  if (table != nullptr) {
    BSV1_GetLock(&table->SourceListLock);
    zevp::AppendToList(&table->FirstSource, source);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  return source;
}

int ZEVP_CheckSourceState(const SourceEntry* source, int32_t state) {
  if (source == nullptr) return 0;
  const char* name = ZEVP_SourceStateName(source->State);
  if (name != nullptr)
    TRC(TRC_UNIT_DETAIL, "Source @%p in %sState", static_cast<const void*>(source), name);
  else
    TRC(TRC_UNIT_DETAIL, "Source @%p in state %d", static_cast<const void*>(source), source->State);
  return source->State == state ? 1 : 0;
}

ProcessEntry* ZEVP_LendSource(SourceEntry* source, ProcessEntry* waiter) {
  BSV1_GetLock(&source->EntryLock);
  ProcessEntry* owner = source->OwningTask;
  source->OwningTask = waiter;
  BSV1_ReleaseLock(&source->EntryLock);
  return owner;
}

void ZEVP_GiveSourceBack(SourceEntry* source, ProcessEntry* waiter, ProcessEntry* owner) {
  BSV1_GetLock(&source->EntryLock);
  if (source->OwningTask == waiter) source->OwningTask = owner;
  BSV1_ReleaseLock(&source->EntryLock);
}
