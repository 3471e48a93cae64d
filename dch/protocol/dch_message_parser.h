// Readers of the replies and pushed messages a DCH endpoint receives.
//
// Every parser reads through DataFieldReader, so it never passes the smaller of
// the message's declared length and the bytes held. Like every field reader it
// converts the values in place (numbers to host order, text to the local code):
// parse a message once. A missing or garbled field ends the parse with false and
// a trace line ("Error: dataType of DCH_status missing: %d" and its twins, the
// number being the data type found, 0 at the end of the message).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dch/dch_protocol.h"

// A value inside a received message; text is not NUL-terminated.
struct DCHview {
  const char* data = nullptr;
  uint32_t length = 0;
};

// The data type of the message's first field, or 0 when it has none within
// heldBytes; when the field is a 2-byte DCH_requestType its code goes to
// *requestCode. The message is not converted, so a parser can read it afterwards:
// this is how a reader tells an action message from a status reply.
int DCH_PeekFirstField(const char* message, size_t heldBytes, uint16_t* requestCode);

struct DCHstatusReply {
  int32_t status = 0;
  bool hasHandle = false;
  uint32_t handle = 0;
};

// DCH_status, then a DCH_handle when one follows.
bool DCH_ParseStatusReply(char* message, size_t heldBytes, DCHstatusReply* reply);
// DCH_status and DCH_handle, both required (the reply to 0x1015).
bool DCH_ParseStatusReplyWithHandle(char* message, size_t heldBytes, DCHstatusReply* reply);

// DCH_response: the text of a get request's answer.
bool DCH_ParseResponse(char* message, size_t heldBytes, DCHview* text);

struct DCHstatusNotice {
  DCHview applName;
  DCHview attrGroup;
  DCHview sourceName;
  uint16_t requestCode = 0;  // DCH_dp_online or DCH_dp_offline
};

bool DCH_ParseStatusNotice(char* message, size_t heldBytes, DCHstatusNotice* notice);

struct DCHrowHead {
  DCHview sourceName;
  uint16_t controlField = 0;
};

// A row message: the head (source name and control field), then one raw value per
// attribute. row is a reader over the received message, left behind the head.
bool DCH_ParseRowHead(DataFieldReader& row, DCHrowHead* head);
// The next attribute value; false at the end of the values.
bool DCH_NextRowValue(DataFieldReader& row, DCHview* value);

struct DCHactionMessage {
  uint16_t actionType = 0;
  bool hasActionType = false;  // the type field came (an action without it is of no type)
  DCHview owner;
  DCHview node;
  DCHview name;
  uint32_t actionID = 0;
  DCHview parms;       // empty when the action has no parameters
  int fieldCount = 0;  // fields taken other than the parameters; DCH_ACTION_REQUIRED_FIELDS when whole
};

// An action message (DCH_dp_provideAction). Its fields are taken in any order; a
// field of another type is traced and skipped, and the receiver judges the action
// by fieldCount. False when the message is not an action message.
bool DCH_ParseActionMessage(char* message, size_t heldBytes, DCHactionMessage* action);
