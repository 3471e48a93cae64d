// The record length of a source and the pool of input buffers of its I/O entry.
#include <algorithm>
#include <cstring>

#include "attribute_entry.h"
#include "io_buffer.h"
#include "io_entry.h"
#include "source_entry.h"
#include "source_states.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kRecordBase = 80;
constexpr int32_t kShortNumberWidth = 5;  // widest decimal text of a 16-bit number
constexpr int32_t kLongNumberWidth = 10;  // and of a 32-bit one

// Types whose value is text of the attribute's size (O, an object of a required
// size, among them: counted as a number, an object's record would not fit).
bool isSizedText(char type) { return std::strchr("DNRKZTO", type) != nullptr && type != '\0'; }

const char* stateName(int32_t state) {
  return state >= 0 && state < ZEVP_BUFFER_STATE_COUNT ? BufferStateString[state] : "?";
}

}  // namespace

int32_t ZEVP_ComputeIObufferSize(const SourceEntry* source) {
  int32_t length = kRecordBase;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    int32_t width = kLongNumberWidth;
    if (isSizedText(attribute->AttrType)) {
      width = attribute->MaxValSize;
    } else if (attribute->MaxValSize == 2) {
      width = kShortNumberWidth;
    } else if (attribute->MaxValSize != 4) {
      TRC(TRC_ERROR, "*** Logic error. Invalid attribute type. Size of 10 assumed");
    }
    length += width + 1;  // and its delimiter
  }
  return length;
}

int ZEVP_AllocateIObuffer(IOEntry* entry) {
  int32_t recordLength = std::max(entry->RecordLength, 0);
  int32_t size = std::max(recordLength + ZEVP_IO_BUFFER_HEADER, ZEVP_IO_BUFFER_MINIMUM);
  // Whatever the header's own size, the data area holds the whole record length.
  int32_t capacity = size - ZEVP_IO_BUFFER_HEADER;
  auto* buffer = static_cast<IObuffer*>(ZEV0_GetStorage(sizeof(IObuffer) + static_cast<size_t>(capacity)));
  if (buffer == nullptr) {
    TRC(TRC_ERROR, "****Error: unable to obtain I/O buffer.");
    return 0;
  }
  std::memset(buffer, 0, sizeof *buffer);
  buffer->BufferNumber = 1;
  buffer->State = ZEVP_NotInUse;
  buffer->Capacity = capacity;
  TRC(TRC_DETAIL, "I/O Buffer allocated. Size %d State %s", size, stateName(buffer->State));
  if (entry->Buffers == nullptr) {
    entry->Buffers = buffer;
    TRC(TRC_STORAGE, "Allocated I/O buffer @%p", static_cast<void*>(buffer));
    return 1;
  }
  IObuffer* last = entry->Buffers;
  while (last->next != nullptr) last = last->next;
  buffer->BufferNumber = last->BufferNumber + 1;
  last->next = buffer;
  TRC(TRC_STORAGE, "Allocated second I/O buffer @%p", static_cast<void*>(buffer));
  return 1;
}

IObuffer* ZEVP_GetNextFreeBuffer(IOEntry* entry) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (IObuffer* buffer = entry->Buffers; buffer != nullptr; buffer = buffer->next) {
      if (buffer->State != ZEVP_NotInUse || buffer->Capacity < entry->RecordLength) continue;
      TRC(TRC_DETAIL, "Buffer @%p state changed from %s to Allocated", static_cast<void*>(buffer),
          stateName(buffer->State));
      buffer->State = ZEVP_Allocated;
      buffer->DataLength = 0;
      std::memset(buffer->Data(), 0, static_cast<size_t>(std::min(std::max(entry->RecordLength, 0), buffer->Capacity)));
      return buffer;
    }
    if (attempt == 0 && !ZEVP_AllocateIObuffer(entry)) break;
  }
  return nullptr;
}
