#include "metafile_request_area.h"

#include <cstring>
#include <new>
#include <string>

#include "dp_anchor.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

MFRA* ZEVP_NewRequestArea() {
  void* storage = ZEV0_GetStorage(sizeof(MFRA));
  if (storage == nullptr) return nullptr;
  auto* area = new (storage) MFRA();
  BSV1_InitializeLock(&area->Lock);
  TRC(TRC_STORAGE, "Allocated metafile request area @%p", static_cast<void*>(area));
  return area;
}

void ZEVP_FreeRequestArea(MFRA* area) {
  if (area == nullptr) return;
  ZEVP_FreeMetafileRecords(&area->Records);
  BSV1_DestroyLock(&area->Lock);
  area->~MFRA();
  TRC(TRC_STORAGE, "Freeing metafile request area @%p", static_cast<void*>(area));
  ZEV0_FreeStorage(&area);
}

bool ZEVP_AppendMetafileRecord(MetafileRecordList* records, const char* text, uint32_t length) {
  auto* record = static_cast<MetafileRecord*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(MetafileRecord) + length + 1)));
  if (record == nullptr) return false;
  record->next = nullptr;
  record->Text = reinterpret_cast<char*>(record + 1);
  record->TextLength = length;
  std::memcpy(record->Text, text, length);
  record->Text[length] = '\0';
  if (records->last != nullptr)
    records->last->next = record;
  else
    records->first = record;
  records->last = record;
  ++records->count;
  return true;
}

// The count says how many records are left to read; the chain may end first.
MetafileRecord* ZEVP_TakeMetafileRecord(MetafileRecordList* records) {
  MetafileRecord* record = records->count > 0 ? records->first : nullptr;
  if (record == nullptr) {
    records->count = 0;
    return nullptr;
  }
  records->first = record->next;
  if (records->first == nullptr) records->last = nullptr;
  --records->count;
  return record;
}

void ZEVP_FreeMetafileRecords(MetafileRecordList* records) {
  MetafileRecord* record = records->first;
  while (record != nullptr) {
    MetafileRecord* next = record->next;
    ZEV0_FreeStorage(&record);
    record = next;
  }
  *records = MetafileRecordList();
}

MFRA* ZEVP_ConstructMemoryMetafile(DPAB*, const char* text) {
  MFRA* area = ZEVP_NewRequestArea();
  if (area == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for in-memory metafile");
    return nullptr;
  }
  area->Status = ZEVP_MFRA_OWN_MEMORY_METAFILE;
  bool nameLine = true;
  for (const char* line = text; *line != '\0';) {
    const char* end = std::strchr(line, '\n');
    size_t length = end != nullptr ? static_cast<size_t>(end - line) : std::strlen(line);
    if (length > 0) {
      if (nameLine) {
        TRC(TRC_DETAIL, "In-Memory metafile name <%s>", std::string(line, length).c_str());
        nameLine = false;
      } else if (line[0] == '&') {
        break;
      } else if (!ZEVP_AppendMetafileRecord(&area->Records, line, static_cast<uint32_t>(length))) {
        TRC(TRC_ERROR, "*** unable to obtain storage for in-memory metafile record");
        ZEVP_FreeRequestArea(area);
        return nullptr;
      }
    }
    if (end == nullptr) break;
    line = end + 1;
  }
  return area;
}

void ZEVP_ReleaseMetafileExchange(DPAB* anchor) {
  MFRA* area = anchor->metafileExchange.exchange(nullptr);
  ZEVP_FreeRequestArea(area);
}
