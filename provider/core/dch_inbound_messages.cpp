// The messages the agent sends to a data provider: status replies, which end the
// wait of the request in flight, and action messages for the automation server.
#include "dch_inbound_messages.h"

#include "dch_comm.h"
#include "dch_message_parser.h"
#include "dch_receive_task.h"
#include "engine_routines.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

bool takeStatusReply(DCHcomm* comm, char* message, uint32_t length) {
  DCHstatusReply reply;
  if (!DCH_ParseStatusReply(message, length, &reply)) return false;
  BSV1_GetLock(&comm->SendLock);
  comm->DCHstatus = reply.status;
  comm->DCHhandle = reply.hasHandle ? reply.handle : 0;
  BSV1_ReleaseLock(&comm->SendLock);
  TRC(TRC_DETAIL, "Received DCH status %d", reply.status);
  if (reply.hasHandle) TRC(TRC_DETAIL, "Received DCH Handle %08X", reply.handle);
  ZEVP_SignalDCHreceiveStatus(comm);
  return true;
}

void traceAction(const DCHactionMessage& action) {
  if (!TRC_ON(TRC_DETAIL)) return;
  auto text = [](const DCHview& view) { return static_cast<int>(view.length); };
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionSourceNode %.*s", text(action.node),
              action.node.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionType %d", action.actionType);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionName %.*s", text(action.name), action.name.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionID   %08X", action.actionID);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionParm %.*s", text(action.parms), action.parms.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionOwner %.*s", text(action.owner), action.owner.data);
}

void takeActionMessage(DCHcomm* comm, char* message, uint32_t length) {
  DCHactionMessage action;
  if (!DCH_ParseActionMessage(message, length, &action)) return;
  traceAction(action);
  zevp::Routines().provideAction(comm->Anchor, &action);
}

// One whole message; false when the peer no longer speaks the DCH.
bool takeMessage(DCHcomm* comm, char* message, uint32_t length) {
  uint16_t requestCode = 0;
  int firstField = DCH_PeekFirstField(message, length, &requestCode);
  TRC(TRC_DETAIL, "Extracted DCHfieldType: %d", firstField);
  if (firstField == DCH_status) return takeStatusReply(comm, message, length);
  if (firstField == DCH_requestType && requestCode == DCH_dp_provideAction) {
    takeActionMessage(comm, message, length);
    return true;
  }
  TRC(TRC_ERROR, "***** unsupported DCH request ignored");
  if (TRC_ON(TRC_ERROR)) ZEV0_PrintDump(message, 0, static_cast<int>(length));
  return true;
}

}  // namespace

bool ZEVP_TakeInboundDCHmessages(DCHcomm* comm, DCHinboundStream& stream) {
  char* message;
  uint32_t length;
  for (;;) {
    switch (stream.front(&message, &length)) {
      case DCHinboundStream::Next::message:
        if (stream.held() > length)
          TRC(TRC_DETAIL, ">>>>> data length received %d, not equal protocol specification %d, multiple requests in packet",
              static_cast<int>(stream.held()), static_cast<int>(length));
        if (!takeMessage(comm, message, length)) {
          TRC(TRC_ERROR, "***** DCH status reply not readable, connection dropped");
          return false;
        }
        stream.pop();
        break;
      case DCHinboundStream::Next::needMore:
        if (stream.held() > 0)
          TRC(TRC_DETAIL, ">>>>> Incomplete DCH packet remains in buffer, residual %d bytes. Doing next receive",
              static_cast<int>(stream.held()));
        return true;
      case DCHinboundStream::Next::badLength:
        TRC(TRC_ERROR, "***** DCH message of a length no agent sends, connection dropped");
        return false;
    }
  }
}

