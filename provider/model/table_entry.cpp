#include "table_entry.h"

#include <cctype>
#include <cstring>
#include <string>

#include "application_entry.h"
#include "attribute_limit.h"
#include "metafile_numbers.h"
#include "model_lists.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

bool beginsWithDigit(const char* word) {
  return word != nullptr && std::isdigit(static_cast<unsigned char>(word[0]));
}

void setName(TableEntry* table, const char* name) {
  std::strncpy(table->TableName, name, ZEVP_GROUP_NAME_MAX);
  if (std::strlen(name) > static_cast<size_t>(ZEVP_GROUP_NAME_MAX))
    ZEVP_DisplayValidationMessage(ZEVPV44W, table->TableName);
  // A leading '~' marks a group that is never registered: it stays.
  ZEV0_SubValidNameCharacter(table->TableName[0] == '~' ? table->TableName + 1 : table->TableName);
}

// The data type letter and the time to live from the //NAME words.
void setTypeAndTTL(TableEntry* table, const char* typeWord, const char* ttlWord) {
  char type = 'P';
  if (beginsWithDigit(typeWord)) {
    ttlWord = typeWord;
  } else if (typeWord != nullptr && *typeWord != '\0') {
    type = static_cast<char>(std::toupper(static_cast<unsigned char>(typeWord[0])));
    if (std::strchr("PESK", type) == nullptr) {
      ZEVP_DisplayValidationMessage(ZEVPV45W, nullptr);
      type = 'P';
    }
  }
  table->DataType[0] = type;
  table->DataType[1] = '\0';
  if (beginsWithDigit(ttlWord)) {
    table->TTL = zevp::DecimalValue(ttlWord);
  } else if (type != 'E') {
    table->TTL = ZEVP_DEFAULT_TTL;
    ZEVP_DisplayValidationMessage(ZEVPV46W, std::to_string(ZEVP_DEFAULT_TTL).c_str());
  }
}

// Room for the group's own help text and one per attribute up to the limit.
bool makeHelpBuffer(TableEntry* table, const char* help) {
  table->HelpBufferSize = (ZEVP_MaxAttributesPerGroup() + 1) * ZEVP_HELP_ENTRY_SIZE;
  table->HelpBuffer = static_cast<char*>(ZEV0_GetStorage(table->HelpBufferSize));
  if (table->HelpBuffer == nullptr) return false;
  std::memset(table->HelpBuffer, 0, static_cast<size_t>(table->HelpBufferSize));
  size_t length = help != nullptr ? strnlen(help, ZEVP_HELP_TEXT_MAX) : 0;
  if (length > 0) std::memcpy(table->HelpBuffer, help, length);
  table->HelpFillPoint = static_cast<int32_t>(length) + 1;
  return true;
}

}  // namespace

TableEntry* ZEVP_InitializeTableEntry(ApplicationEntry* application, const char* name, const char* typeWord,
                                      const char* ttlWord, const char* help) {
  if (name == nullptr || *name == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV43E, nullptr);
    return nullptr;
  }
  auto* table = static_cast<TableEntry*>(ZEV0_GetStorage(sizeof(TableEntry)));
  if (table == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for TableEntry <%s>", name);
    return nullptr;
  }
  std::memset(table, 0, sizeof *table);
  TRC(TRC_STORAGE, "Allocated TableEntry @%p for length %d", static_cast<void*>(table),
      static_cast<int>(sizeof *table));
  setName(table, name);
  setTypeAndTTL(table, typeWord, ttlWord);
  table->RecordSetCount = 1;
  table->Application = application;
  if (!makeHelpBuffer(table, help)) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for the help of group <%s>", table->TableName);
    ZEV0_FreeStorage(&table);
    return nullptr;
  }
  BSV1_InitializeLock(&table->SourceListLock);
  BSV1_InitializeLock(&table->CounterLock);

  BSV1_GetLock(&application->TableListLock);
  zevp::AppendToList(&application->FirstTable, table);
  BSV1_ReleaseLock(&application->TableListLock);
  return table;
}
