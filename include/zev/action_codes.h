// Action types and action statuses. The numbers travel in DCH messages (the action
// type of an action, the status of an action result), so the agent core, the DCH
// server and the data providers share them; the texts are what the action log shows.
#pragma once

#include <cstdint>

enum ZEV_ActionType : int16_t {
  ZEV_ACTION_UNKNOWN = 0,
  ZEV_ACTION_AUTOMATION = 1,
  ZEV_ACTION_RULE = 2,
  ZEV_ACTION_SNMP = 3,
};

constexpr int ZEV_ACTION_TYPE_COUNT = 4;

inline constexpr const char* ActionTypeString[ZEV_ACTION_TYPE_COUNT] = {
    "UNKNOWN", "AUTOMATION", "RULE", "SNMP",
};

enum ZEV_ActionStatus : int32_t {
  ZEV_ACTION_SUCCESS = 0,
  ZEV_ACTION_STATUS_UNKNOWN = 1,  // a routed action until its result arrives
  ZEV_ACTION_EXEC_ERROR = 2,
  ZEV_ACTION_PROTO_ERROR = 3,
  ZEV_ACTION_DP_ERROR = 4,
  ZEV_ACTION_DP_NOSUPPORT = 5,
  ZEV_ACTION_NOSUPPORT = 6,
  ZEV_ACTION_PARM_REQUIRED = 7,
  ZEV_ACTION_SOURCE_OFFLINE = 8,
  ZEV_ACTION_SYNTAX_ERROR = 9,
  ZEV_ACTION_NEVER_STARTED = 10,
  ZEV_ACTION_REQPARM_MISSING = 11,
  ZEV_ACTION_UNRECOG_REQUEST = 12,
  ZEV_ACTION_INPUTPARM_ERROR = 13,
  ZEV_ACTION_EXECUTED_RETURN_STATUS = 14,
};

constexpr int ZEV_ACTION_STATUS_COUNT = 15;

inline constexpr const char* ActionStatusString[ZEV_ACTION_STATUS_COUNT] = {
    "SUCCESS",         "UNKNOWN",        "EXEC_ERROR",      "PROTO_ERROR",     "DP_ERROR",
    "DP_NOSUPPORT",    "NOSUPPORT",      "PARM_REQUIRED",   "SOURCE_OFFLINE",  "SYNTAX_ERROR",
    "NEVER_STARTED",   "REQPARM_MISSING", "UNRECOG_REQUEST", "INPUTPARM_ERROR", "EXECUTED - RETURN STATUS",
};
