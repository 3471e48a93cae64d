// One builder per DCH message layout, shared by the client verbs, the data-provider
// engine and the server, so that no layout is written by hand twice.
//
// DCH_Build* write a whole message at buffer and return its total length, or 0
// (with a trace line) when it does not fit in capacity bytes. DCH_Add* append a
// piece of a message that grows in steps to a DCHmessageBuilder, whole or not at
// all, and return false when it does not fit. Texts are NUL-terminated host
// strings; the builders do not check the name limits (the verbs and the server do).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dch_message_builder.h"

// An action as a consumer hands it over (0x2080) and the server forwards it (0x1060).
struct DCHaction {
  uint16_t actionType = 0;
  const char* owner = nullptr;
  const char* node = nullptr;     // the host name, ':', the rest
  const char* subNode = nullptr;  // travels in 0x2080 only
  const char* name = nullptr;
  uint32_t actionID = 0;
  const char* parms = nullptr;    // null: the action has no parameters
};

// --- Data-provider requests ------------------------------------------------

// 0x1010: the request code, the application and its help. Only on an empty message.
bool DCH_AddRegisterHead(DCHmessageBuilder& message, const char* applName, const char* applHelp);
// 0x1010: one attribute group after the head.
bool DCH_AddRegisterGroup(DCHmessageBuilder& message, const char* attrGroup, const char* groupHelp,
                          char sampleType, uint32_t timeToLive, const char* registerText);

uint32_t DCH_BuildOnline(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                         const char* sourceName);
uint32_t DCH_BuildUnregister(char* buffer, size_t capacity, const char* applName);
uint32_t DCH_BuildOffline(char* buffer, size_t capacity, uint32_t handle);

// 0x1030: the 30-byte head (request code, handle, control field). Only on an empty
// message, so that the handle and the control field sit at their fixed offsets.
bool DCH_AddDataHead(DCHmessageBuilder& message, uint32_t handle, uint16_t controlField);
// 0x1030: one attribute name and its value, encoded by the attribute's type letter.
bool DCH_AddDataPair(DCHmessageBuilder& message, const char* attrName, const void* value,
                     uint32_t valueLength, char typeLetter);
// 0x1030: writes the handle and the control field over the head of a data request
// of messageLength bytes; false when it is shorter than the head.
bool DCH_SetDataHead(char* message, size_t messageLength, uint32_t handle, uint16_t controlField);

uint32_t DCH_BuildWaitForAction(char* buffer, size_t capacity, uint16_t actionType, const char* hostName);
// 0x1050; a null result text leaves the optional field out.
uint32_t DCH_BuildActionResults(char* buffer, size_t capacity, uint32_t actionID, int32_t actionStatus,
                                const char* resultText);
uint32_t DCH_BuildCancel(char* buffer, size_t capacity);

// --- Consumer requests -----------------------------------------------------

// 0x2040; a null name asks for every application and sends no name field.
uint32_t DCH_BuildGetAppl(char* buffer, size_t capacity, const char* applName);
// 0x2045 and 0x2050 always carry the name field (empty for a null name).
uint32_t DCH_BuildGetApplHelp(char* buffer, size_t capacity, const char* applName);
uint32_t DCH_BuildGetAttrInfo(char* buffer, size_t capacity, const char* applName);
// 0x2060; wait is DCH_WAIT_PARK or DCH_WAIT_REMOVE.
uint32_t DCH_BuildWaitOnData(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                             uint32_t wait);
uint32_t DCH_BuildWaitForDPStatus(char* buffer, size_t capacity, uint32_t wait);
// 0x2080; the parameters field only when action.parms is not null.
uint32_t DCH_BuildConsumerProvideAction(char* buffer, size_t capacity, const DCHaction& action);
uint32_t DCH_BuildWaitForActionResults(char* buffer, size_t capacity, uint32_t actionID);
// The interrupt message that ends a client's own wait for rows.
uint32_t DCH_BuildInterrupt(char* buffer, size_t capacity);

// --- Replies and pushed messages ------------------------------------------

uint32_t DCH_BuildStatusReply(char* buffer, size_t capacity, int32_t status);
// The reply to 0x1015; a failed request still carries the handle field (0).
uint32_t DCH_BuildStatusReplyWithHandle(char* buffer, size_t capacity, int32_t status, uint32_t handle);
// The answer to 0x2040, 0x2045 and 0x2050: the text's bytes, unconverted, without NUL.
uint32_t DCH_BuildResponse(char* buffer, size_t capacity, const char* text, uint32_t textLength);
// The action message (0x1060); the parameters field only when they are not empty.
// The subnode is not forwarded.
uint32_t DCH_BuildProvideAction(char* buffer, size_t capacity, const DCHaction& action);
// To a 0x2070 waiter: requestCode is DCH_dp_online or DCH_dp_offline.
uint32_t DCH_BuildStatusNotice(char* buffer, size_t capacity, const char* applName, const char* attrGroup,
                               const char* sourceName, uint16_t requestCode);
// To a 0x2090 waiter.
uint32_t DCH_BuildActionResultNotice(char* buffer, size_t capacity, int32_t status);

// Row message to a 0x2060 waiter: the source name (left out when null) and the
// control field, only on an empty message; then one raw value per attribute.
bool DCH_AddRowHead(DCHmessageBuilder& message, const char* sourceName, uint16_t controlField);
bool DCH_AddRowValue(DCHmessageBuilder& message, const void* value, uint32_t valueLength);
