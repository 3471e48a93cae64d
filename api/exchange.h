// One data request and its reply over the handle's session socket.
#pragma once

#include "records.h"

namespace zevpapi {

// Sends the block's request (unless receiveOnly) and waits for the data provider's
// reply; the reply's status, or the client's own when the exchange failed. The block
// must be a buffer of a handle and the anchor there.
int Exchange(APIbuffer* block, int receiveOnly, int waitForData);
// The same over the anchor's transport: the RPC transport has no exchange (5).
int ExchangeByTransport(APIbuffer* block, int receiveOnly, int waitForData);

}  // namespace zevpapi
