// The URL_Objects row of an object a subtask retrieved: the page's URL, the
// object's URL and its size.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "attribute_entry.h"
#include "dp_anchor.h"
#include "http_trace.h"
#include "integer_values.h"
#include "source_entry.h"
#include "url_management.h"
#include "url_row_values.h"
#include "url_rows.h"
#include "zev/dp_types.h"

TRC_UNIT();

namespace {

std::string_view Text(const char* text, int32_t length) {
  return text != nullptr ? std::string_view(text, static_cast<size_t>(std::max(length, 0))) : std::string_view();
}

}  // namespace

void ZEVP_DoObjectUpdateDCH(const char* url, int32_t urlLength, const char* objectURL, int32_t objectURLlength,
                            int32_t objectSize) {
  URLmanagementBlock* block = zevp::CurrentURLmanagement();
  if (block == nullptr || block->PageObjectsReport == 0) return;
  DPAB* anchor = block->Anchor;
  SourceEntry* source = anchor->urlObjectsSource;
  if (source == nullptr || source->OwningTask == nullptr) {
    HTTP_TRC(TRC_ERROR, "DCH Update not performed. HTTP URL Object application is not available for DP type %s",
             anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "");
    return;
  }
  BSV1_GetLock(&anchor->httpObjectOutputLock);
  BSV1_GetLock(&source->AttributeLock);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (std::strcmp(attribute->AttrName, "URL") == 0)
      zevp::SetRowText(attribute, Text(url, urlLength));
    else if (std::strcmp(attribute->AttrName, "Object_Name") == 0)
      zevp::SetRowText(attribute, Text(objectURL, objectURLlength));
    else if (std::strcmp(attribute->AttrName, "Object_Size") == 0)
      zevp::StoreInteger(attribute, objectSize);
    else
      attribute->ActualValSize = 0;
  }
  BSV1_ReleaseLock(&source->AttributeLock);
  zevp::SendURLrow(anchor, source);
  BSV1_ReleaseLock(&anchor->httpObjectOutputLock);
}
