// The DCH wire protocol: request codes, control-field values, statuses, name
// limits, the sizes that follow from the layouts, and the pseudo-messages of the
// server's request ring.
//
// A DCH message is a 4-byte big-endian total length followed by typed fields
// (zev0/typed_field.h). Every request begins with a DCH_requestType field holding
// one of the codes below; replies and pushed messages carry no request code,
// except the action message (DCH_dp_provideAction) and the status notice. The
// builders and parsers of every layout are in dch/protocol (zevdch_protocol);
// docs/dch-protocol.md describes the format.
#pragma once

#include <cstdint>

#include "zev0/typed_field.h"

// Request codes, the value of the DCH_requestType field.
enum DCH_RequestCode : uint16_t {
  DCH_dp_register = 0x1010,              // status reply
  DCH_dp_online = 0x1015,                // status reply with handle
  DCH_dp_unregister = 0x1020,            // status reply
  DCH_dp_offline = 0x1025,               // status reply
  DCH_dp_data = 0x1030,                  // status reply
  DCH_dp_waitForAction = 0x1040,         // status reply; later, action messages
  DCH_dp_provideActionResults = 0x1050,  // status reply
  DCH_dp_provideAction = 0x1060,         // the action message, server to a parked data provider
  DCH_dp_cancel = 0x10FF,                // no reply
  DCH_dc_getAppl = 0x2040,               // response message
  DCH_dc_getApplHelp = 0x2045,           // response message
  DCH_dc_getAttrInfo = 0x2050,           // response message
  DCH_dc_waitOnData = 0x2060,            // no reply; row messages while parked
  DCH_dc_waitForDPStatus = 0x2070,       // no reply; status notices while parked
  DCH_dc_provideAction = 0x2080,         // no reply
  DCH_dc_waitForActionResults = 0x2090,  // status reply; later, action result notices
};

// Values of the DCH_controlField of a data request and of a row message.
enum DCH_ControlField : uint16_t {
  DCH_InSampleSet = 0x00,       // a row inside a multi-row sample set
  DCH_BeginSampleSet = 0x01,    // the first row of a sample set
  DCH_EndSampleSet = 0x10,      // the last row of a set; with no attribute pairs it clears the row
  DCH_SingleRow = 0x11,         // an ordinary row; also taken when the field is absent
  DCH_DeleteKeyRecord = 0xDD,   // remove the row with these key values (key data only)
  DCH_ClearedRow = 0xFF,        // the server's row after a clear request
};

// Status values that mean something on the wire; every other value of a status
// reply is a failure code of the server (0x2090 carries the action's status).
constexpr int32_t DCH_STATUS_SUCCESS = 0;
constexpr int32_t DCH_STATUS_RESEND = 7;  // only part of a TCP request arrived: send it again

// DCH_status of 0x2060 and 0x2070: park the sender as a waiter, or remove it.
constexpr uint32_t DCH_WAIT_PARK = 1;
constexpr uint32_t DCH_WAIT_REMOVE = 0;

// Name limits in characters: the longest text the library sends or the server keeps.
constexpr uint32_t DCH_MIN_APPL_NAME = 3;
constexpr uint32_t DCH_MAX_APPL_NAME = 20;
constexpr uint32_t DCH_MAX_ATTR_GROUP = 32;
constexpr uint32_t DCH_MAX_SOURCE_NAME = 32;
constexpr uint32_t DCH_MAX_ACTION_OWNER = 64;
constexpr uint32_t DCH_MAX_ACTION_NODE = 70;
constexpr uint32_t DCH_MAX_SUBNODE = 32;
constexpr uint32_t DCH_MAX_ACTION_NAME = 256;
constexpr uint32_t DCH_MAX_ACTION_PARMS = 1024;
constexpr uint32_t DCH_MAX_ACTION_RESULT = 256;

// Every request a client builds, and every data request, fits in this buffer.
constexpr uint32_t DCH_REQUEST_BUFFER_SIZE = 4096;

// Sizes that follow from the layouts.
constexpr uint32_t DCH_CODE_ONLY_REQUEST_SIZE = 12;         // 0x2040 without a name, 0x10FF
constexpr uint32_t DCH_NUMBER_REQUEST_SIZE = 22;            // 0x1025, 0x2070, 0x2090
constexpr uint32_t DCH_STATUS_REPLY_SIZE = 14;
constexpr uint32_t DCH_STATUS_REPLY_WITH_HANDLE_SIZE = 24;  // the reply to 0x1015
constexpr uint32_t DCH_DATA_HEAD_SIZE = 30;                 // 0x1030 up to its first attribute pair
constexpr uint32_t DCH_DATA_HANDLE_OFFSET = 18;             // the handle's value in a data request
constexpr uint32_t DCH_DATA_CONTROL_OFFSET = 28;            // the control field's value in a data request
constexpr uint32_t DCH_INTERRUPT_SIZE = 21;

// Fields of an action message besides its parameters; a receiver counts them.
constexpr int DCH_ACTION_REQUIRED_FIELDS = 5;

// The interrupt message: one DCH_sourceName field holding this text, sent by a
// waiting client to its own interrupt socket to end a wait for rows.
constexpr char DCH_INTERRUPT_TEXT[] = "-TERMINATE-";

// What a slot of the server's request ring holds. The transport marks the kind
// beside each message, so a pseudo-message is never recognised by its content.
enum class DCHmessageKind : int {
  message,      // a DCH message
  disconnect,   // a data provider's TCP connection closed
  serverReady,  // the server's sockets are open (always the first entry)
  resend,       // a TCP read ended short of the total length: answer status 7
};

// The texts by which the pseudo-messages are known in traces.
constexpr char DCH_DISCONNECT_TEXT[] = "DP-DISCONNECT";
constexpr char DCH_SERVER_READY_TEXT[] = "IPC-SERVER_READY";
constexpr char DCH_RESEND_TEXT[] = "RESEND_MESSAGE";

constexpr const char* DCH_MessageKindText(DCHmessageKind kind) {
  switch (kind) {
    case DCHmessageKind::disconnect:
      return DCH_DISCONNECT_TEXT;
    case DCHmessageKind::serverReady:
      return DCH_SERVER_READY_TEXT;
    case DCHmessageKind::resend:
      return DCH_RESEND_TEXT;
    case DCHmessageKind::message:
      break;
  }
  return "DCH message";
}
