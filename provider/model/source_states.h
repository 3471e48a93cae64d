// The states of a source, which are also the orders a source gives the DCH
// client routine, and the states of an input buffer.
#pragma once

#include <cstdint>

enum ZEVP_SourceState : int32_t {
  ZEVP_NoState = 0,
  ZEVP_Initial = 1,
  ZEVP_Connected = 2,
  ZEVP_Register = 3,
  ZEVP_Pending = 4,
  ZEVP_Ready = 5,
  ZEVP_Active = 6,
  ZEVP_Input = 7,
  ZEVP_Output = 8,
  ZEVP_Action = 9,
  ZEVP_Reply = 10,
  ZEVP_Inactive = 11,
  ZEVP_Unregister = 12,
};

constexpr int32_t ZEVP_SOURCE_STATE_COUNT = 13;

inline constexpr const char* StateString[ZEVP_SOURCE_STATE_COUNT] = {
    "NoState", "Initial", "Connected", "Register", "Pending",  "Ready",      "Active",
    "Input",   "Output",  "Action",    "Reply",    "Inactive", "Unregister",
};

enum ZEVP_BufferState : int32_t {
  ZEVP_NoStatus = 0,
  ZEVP_NotInUse = 1,
  ZEVP_Allocated = 2,
  ZEVP_ValidData = 3,
};

constexpr int32_t ZEVP_BUFFER_STATE_COUNT = 4;

inline constexpr const char* BufferStateString[ZEVP_BUFFER_STATE_COUNT] = {
    "NoStatus", "NotInUse", "Allocated", "ValidData",
};

// The name of a state number, or null outside the table.
inline const char* ZEVP_SourceStateName(int32_t state) {
  return state >= 0 && state < ZEVP_SOURCE_STATE_COUNT ? StateString[state] : nullptr;
}
