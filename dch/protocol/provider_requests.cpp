// The requests of a data provider (0x10xx).
#include <cstring>

#include "dch_messages.h"
#include "trc1.h"
#include "zev0/codepage.h"

TRC_UNIT();

namespace {

template <typename Number>
void storeInNetworkOrder(char* out, Number value) {
  ZEV0_CheckIntegerEndian(sizeof value, &value);
  std::memcpy(out, &value, sizeof value);
}

}  // namespace

bool DCH_AddRegisterHead(DCHmessageBuilder& message, const char* applName, const char* applHelp) {
  if (!message.isEmptyFor("the register head")) return false;
  return message.addGroup([&](DCHmessageBuilder& m) {
    return m.addU16(DCH_requestType, DCH_dp_register) && m.addText(DCH_applName, applName) &&
           m.addText(DCH_helpText, applHelp);
  });
}

bool DCH_AddRegisterGroup(DCHmessageBuilder& message, const char* attrGroup, const char* groupHelp,
                          char sampleType, uint32_t timeToLive, const char* registerText) {
  return message.addGroup([&](DCHmessageBuilder& m) {
    return m.addText(DCH_attrGroup, attrGroup) && m.addText(DCH_helpText, groupHelp) &&
           m.addChar(DCH_attributesType, sampleType) && m.addU32(DCH_TTL, timeToLive) &&
           m.addText(DCH_attrRegister, registerText);
  });
}

uint32_t DCH_BuildOnline(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                         const char* sourceName) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_online) && message.addText(DCH_applName, applName) &&
               message.addText(DCH_attrGroup, attrGroup) && message.addText(DCH_sourceName, sourceName);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildUnregister(char* buffer, size_t capacity, const char* applName) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_unregister) && message.addText(DCH_applName, applName);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildOffline(char* buffer, size_t capacity, uint32_t handle) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_offline) && message.addU32(DCH_handle, handle);
  return built ? message.length() : 0;
}

bool DCH_AddDataHead(DCHmessageBuilder& message, uint32_t handle, uint16_t controlField) {
  if (!message.isEmptyFor("the data head")) return false;
  return message.addGroup([&](DCHmessageBuilder& m) {
    return m.addU16(DCH_requestType, DCH_dp_data) && m.addU32(DCH_handle, handle) &&
           m.addU16(DCH_controlField, controlField);
  });
}

bool DCH_AddDataPair(DCHmessageBuilder& message, const char* attrName, const void* value,
                     uint32_t valueLength, char typeLetter) {
  return message.addGroup([&](DCHmessageBuilder& m) {
    return m.addText(DCH_attrName, attrName) && m.addAttrValue(value, valueLength, typeLetter);
  });
}

bool DCH_SetDataHead(char* message, size_t messageLength, uint32_t handle, uint16_t controlField) {
  if (message == nullptr || messageLength < DCH_DATA_HEAD_SIZE) {
    TRC(TRC_ERROR, "Error: data request of %zu bytes is shorter than its %u-byte head", messageLength,
        DCH_DATA_HEAD_SIZE);
    return false;
  }
  storeInNetworkOrder(message + DCH_DATA_HANDLE_OFFSET, handle);
  storeInNetworkOrder(message + DCH_DATA_CONTROL_OFFSET, controlField);
  return true;
}

uint32_t DCH_BuildWaitForAction(char* buffer, size_t capacity, uint16_t actionType, const char* hostName) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_waitForAction) &&
               message.addU16(DCH_actionType, actionType) && message.addText(DCH_sourceName, hostName);
  return built ? message.length() : 0;
}

uint32_t DCH_BuildActionResults(char* buffer, size_t capacity, uint32_t actionID, int32_t actionStatus,
                                const char* resultText) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = message.addU16(DCH_requestType, DCH_dp_provideActionResults) &&
               message.addU32(DCH_actionID, actionID) &&
               message.addU32(DCH_status, static_cast<uint32_t>(actionStatus)) &&
               (resultText == nullptr || message.addText(DCH_actionResult, resultText));
  return built ? message.length() : 0;
}

uint32_t DCH_BuildCancel(char* buffer, size_t capacity) {
  DCHmessageBuilder message(buffer, capacity);
  return message.addU16(DCH_requestType, DCH_dp_cancel) ? message.length() : 0;
}
