// The end of a monitored URL: its removal row to the agent, which drops the
// Managed_URL row keyed by the URL and its owner, and its entry.
#include <cstring>

#include "attribute_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "http_trace.h"
#include "source_entry.h"
#include "url_entry_storage.h"
#include "url_management.h"
#include "url_row_values.h"

TRC_UNIT();

namespace {

using zevp::SetRowText;

// The control value of a data request that deletes the row with the key values sent.
constexpr int16_t kDeleteRowControl = 0xDD;

// The URL and the owner; every other value empty, so not sent.
void FillRemovalRow(SourceEntry* source, const URLrequestEntry* entry, const char* ownerName) {
  BSV1_GetLock(&source->AttributeLock);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (std::strcmp(attribute->AttrName, "URL") == 0) {
      SetRowText(attribute, entry->URL);
    } else if (std::strcmp(attribute->AttrName, "User_Name") == 0) {
      HTTP_TRC(TRC_DETAIL, "Assigning OwnerName <%s> to attribute <%s>", ownerName, attribute->AttrName);
      SetRowText(attribute, ownerName);
    } else {
      attribute->ActualValSize = 0;
    }
  }
  BSV1_ReleaseLock(&source->AttributeLock);
}

void SendRemovalRow(DPAB* anchor, const URLrequestEntry* entry, const char* ownerName) {
  SourceEntry* source = anchor->managedURLSource;
  if (source == nullptr || source->OwningTask == nullptr) {
    HTTP_TRC(TRC_ERROR, "HTTP Managed URL application not online. No removal row for URL <%s> Owner <%s>", entry->URL,
             ownerName);
    return;
  }
  FillRemovalRow(source, entry, ownerName);
  source->DataSequence = kDeleteRowControl;
  zevp::SendURLrow(anchor, source);
  source->DataSequence = ZEVP_DATA_SEQUENCE_ROW;
}

}  // namespace

void ZEVP_DeleteHTTPrequestBlock(DPAB* anchor, URLrequestEntry* entry, const char* ownerName) {
  URLmanagementBlock* block = anchor != nullptr ? anchor->urlManagement : nullptr;
  if (block == nullptr || entry == nullptr) return;
  if (ownerName == nullptr) ownerName = "";
  BSV1_GetLock(&anchor->httpRowOutputLock);
  HTTP_TRC(TRC_DETAIL, "Acquired HTTPsourceLock");
  if (block->CurrentURL == entry) {
    HTTP_TRC(TRC_DETAIL, "Deleting CurrentURE @%p for URL <%s>", static_cast<void*>(entry), entry->URL);
    block->CurrentURL = entry->next;
    HTTP_TRC(TRC_DETAIL, "CurrentURE now equals @%p", static_cast<void*>(block->CurrentURL));
  }
  SendRemovalRow(anchor, entry, ownerName);
  entry->RemovalSent = 1;
  BSV1_ReleaseLock(&anchor->httpRowOutputLock);
  zevp::DiscardURLrequestEntry(entry);
}
