#include "odbc_block.h"

#include <cctype>
#include <cstring>

#include "dp_anchor.h"
#include "model_lists.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// The name after the operand's first '='; null when there is none.
const char* DataSourceName(const char* operand) {
  const char* equals = operand != nullptr ? std::strchr(operand, '=') : nullptr;
  return equals != nullptr && equals[1] != '\0' ? equals + 1 : nullptr;
}

OMB* Refused() {
  TRC(TRC_ERROR, "OMB initialization failed");
  return nullptr;
}

}  // namespace

OMB* ZEVP_InitializeOMB(DPAB* anchor, const char* type, const char* operand) {
  const char* name = DataSourceName(operand);
  if (name == nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV98E, nullptr);
    return Refused();
  }
  if (type == nullptr || type[0] == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV97E, " ");
    return Refused();
  }
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
  if (letter != 'I' && letter != 'O') {
    ZEVP_DisplayValidationMessage(ZEVPV97E, type);
    return Refused();
  }
  if (anchor == nullptr) return Refused();
  auto* block = static_cast<OMB*>(ZEV0_GetStorage(sizeof(OMB)));
  size_t length = std::strlen(name);
  char* copy = static_cast<char*>(ZEV0_GetStorage(length + 1));
  if (block == nullptr || copy == nullptr) {
    ZEV0_FreeStorage(&block);
    ZEV0_FreeStorage(&copy);
    return Refused();
  }
  std::memcpy(copy, name, length + 1);
  std::memset(block, 0, sizeof *block);
  block->DataSourceName = copy;
  block->Type = letter;
  BSV1_InitializeLock(&block->Lock);

  BSV1_GetLock(&anchor->ombListLock);
  zevp::AppendToList(&anchor->ombs, block);
  BSV1_ReleaseLock(&anchor->ombListLock);
  TRC(TRC_DETAIL, "OMB @%p initialized and queued to DPAB. Type %c DSN %s", static_cast<void*>(block), block->Type,
      block->DataSourceName);
  return block;
}

void ZEVP_ReleaseOMB(DPAB* anchor, OMB* block) {
  if (anchor == nullptr || block == nullptr) return;
  BSV1_GetLock(&anchor->ombListLock);
  zevp::RemoveFromList(&anchor->ombs, block);
  BSV1_ReleaseLock(&anchor->ombListLock);
  TRC(TRC_STORAGE, "OMB @%p dequeued and released", static_cast<void*>(block));
  BSV1_DestroyLock(&block->Lock);
  ZEV0_FreeStorage(&block->DataSourceName);
  ZEV0_FreeStorage(&block);
}
