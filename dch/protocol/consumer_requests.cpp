// The requests of a consumer (0x20xx) and the interrupt that ends its own wait.
#include "dch_messages.h"

namespace {

// A request code followed by an application name field (empty for a null name).
uint32_t buildNamedRequest(char* buffer, size_t capacity, uint16_t requestCode, const char* applName) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, requestCode) && message.addText(DCH_applName, applName);
  return built ? message.length() : 0;
}

uint32_t buildNumberRequest(char* buffer, size_t capacity, uint16_t requestCode, int16_t dataType,
                            uint32_t value) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, requestCode) && message.addU32(dataType, value);
  return built ? message.length() : 0;
}

}  // namespace

uint32_t DCH_BuildGetAppl(char* buffer, size_t capacity, const char* applName) {
  if (applName != nullptr) return buildNamedRequest(buffer, capacity, DCH_dc_getAppl, applName);
  DCHmessageBuilder message(buffer, capacity);
  return message.addU16(DCH_requestType, DCH_dc_getAppl) ? message.length() : 0;
}

uint32_t DCH_BuildGetApplHelp(char* buffer, size_t capacity, const char* applName) {
  return buildNamedRequest(buffer, capacity, DCH_dc_getApplHelp, applName);
}

uint32_t DCH_BuildGetAttrInfo(char* buffer, size_t capacity, const char* applName) {
  return buildNamedRequest(buffer, capacity, DCH_dc_getAttrInfo, applName);
}

uint32_t DCH_BuildWaitOnData(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                             uint32_t wait) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dc_waitOnData) && message.addText(DCH_applName, applName) &&
               message.addText(DCH_attrGroup, attrGroup) && message.addU32(DCH_status, wait);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildWaitForDPStatus(char* buffer, size_t capacity, uint32_t wait) {
  return buildNumberRequest(buffer, capacity, DCH_dc_waitForDPStatus, DCH_status, wait);
}

uint32_t DCH_BuildConsumerProvideAction(char* buffer, size_t capacity, const DCHaction& action) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dc_provideAction) &&
               message.addU16(DCH_actionType, action.actionType) && message.addText(DCH_actionOwner, action.owner) &&
               message.addText(DCH_sourceName, action.node) && message.addText(DCH_sourceName, action.subNode) &&
               message.addText(DCH_actionName, action.name) && message.addU32(DCH_actionID, action.actionID) &&
               (action.parms == nullptr || message.addText(DCH_actionParms, action.parms));
  return built ? message.length() : 0;
}

uint32_t DCH_BuildWaitForActionResults(char* buffer, size_t capacity, uint32_t actionID) {
  return buildNumberRequest(buffer, capacity, DCH_dc_waitForActionResults, DCH_actionID, actionID);
}

uint32_t DCH_BuildInterrupt(char* buffer, size_t capacity) {
  DCHmessageBuilder message(buffer, capacity);
  return message.addText(DCH_sourceName, DCH_INTERRUPT_TEXT) ? message.length() : 0;
}
