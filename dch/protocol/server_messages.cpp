// What the server sends: status replies, responses, row messages, status
// notices, action messages and action result notices.
#include "dch_messages.h"

uint32_t DCH_BuildStatusReply(char* buffer, size_t capacity, int32_t status) {
  DCHmessageBuilder message(buffer, capacity);
  // The status travels as an unsigned 32-bit number: -1 arrives with all bits set.
  return message.addU32(DCH_status, static_cast<uint32_t>(status)) ? message.length() : 0;
}

uint32_t DCH_BuildStatusReplyWithHandle(char* buffer, size_t capacity, int32_t status, uint32_t handle) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU32(DCH_status, static_cast<uint32_t>(status)) && message.addU32(DCH_handle, handle);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildResponse(char* buffer, size_t capacity, const char* text, uint32_t textLength) {
  DCHmessageBuilder message(buffer, capacity);
  return message.addRaw(DCH_response, text, textLength) ? message.length() : 0;
}

uint32_t DCH_BuildProvideAction(char* buffer, size_t capacity, const DCHaction& action) {
  bool hasParms = action.parms != nullptr && action.parms[0] != '\0';
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_provideAction) &&
               message.addU16(DCH_actionType, action.actionType) && message.addText(DCH_actionOwner, action.owner) &&
               message.addText(DCH_sourceName, action.node) && message.addText(DCH_actionName, action.name) &&
               message.addU32(DCH_actionID, action.actionID) &&
               (!hasParms || message.addText(DCH_actionParms, action.parms));
  return built ? message.length() : 0;
}

uint32_t DCH_BuildStatusNotice(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                               const char* sourceName, uint16_t requestCode) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addText(DCH_applName, applName) && message.addText(DCH_attrGroup, attrGroup) &&
               message.addText(DCH_sourceName, sourceName) && message.addU16(DCH_requestType, requestCode);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildActionResultNotice(char* buffer, size_t capacity, int32_t status) {
  return DCH_BuildStatusReply(buffer, capacity, status);
}

bool DCH_AddRowHead(DCHmessageBuilder& message, const char* sourceName, uint16_t controlField) {
  if (!message.isEmptyFor("the row head")) return false;
  return message.addGroup([&](DCHmessageBuilder& m) {
    return (sourceName == nullptr || m.addText(DCH_sourceName, sourceName)) &&
           m.addU16(DCH_controlField, controlField);
  });
}

bool DCH_AddRowValue(DCHmessageBuilder& message, const void* value, uint32_t valueLength) {
  return message.addRaw(DCH_attrRawValue, value, valueLength);
}
