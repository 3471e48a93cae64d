// The URL_Objects row of an object request, until the DCH update of URL rows is
// built: traced, not sent.
#include "http_trace.h"
#include "url_output.h"

TRC_UNIT();

void ZEVP_DoObjectUpdateDCH(const char* url, int32_t urlLength, const char* objectURL, int32_t objectURLlength,
                            int32_t objectSize) {
  HTTP_TRC(TRC_DETAIL, "URL object row not sent: URL <%.*s> object <%.*s> size %d", urlLength, url, objectURLlength,
           objectURL, objectSize);
}
