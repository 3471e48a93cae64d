// Taking what the agent sent, message by message.
#pragma once

#include "dch_inbound_stream.h"

struct DCHcomm;

// Takes every whole message the stream holds: a status reply is stored in the
// block and wakes the request that waits for it, an action message goes to the
// automation server, anything else is traced and dropped. False when the agent no
// longer speaks the DCH (a length no agent sends, a status that cannot be read):
// the connection is then to be dropped.
bool ZEVP_TakeInboundDCHmessages(DCHcomm* comm, DCHinboundStream& stream);
