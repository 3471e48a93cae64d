// The end of a URL entry's storage.
#pragma once

#include "url_records.h"

namespace zevp {

// Destroys the entry's lock, mutex and condition and frees it with its owners,
// response-time ring and output directory path.
void FreeURLrequestEntry(URLrequestEntry* entry);

// For an entry unlinked from the URL list, under the URL list lock: frees it, or,
// while a thread holds it, leaves it to the last let-go.
void DiscardURLrequestEntry(URLrequestEntry* entry);

}  // namespace zevp
