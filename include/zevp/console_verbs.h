// The console's command table, index = command code: the words of the verbs that
// the console program sends and the data provider's console serves.
#pragma once

#include <cstdint>

enum ZEVP_ConsoleVerb : int32_t {
  ZEVP_VERB_GETPORT = 0,
  ZEVP_VERB_CHECK = 1,
  ZEVP_VERB_DELETE = 2,
  ZEVP_VERB_IMPORT = 3,
  ZEVP_VERB_REFRESH = 4,
  ZEVP_VERB_SHOW = 5,
  ZEVP_VERB_LIST = 6,
  ZEVP_VERB_SHUTDOWN = 7,
  ZEVP_VERB_PING = 8,
  ZEVP_VERB_ACCEPT = 9,
  ZEVP_VERB_TRAPCNFG = 10,
  ZEVP_VERB_SET = 11,
  ZEVP_VERB_LOADCOMM = 12,
  ZEVP_VERB_LOADNAME = 13,
  ZEVP_VERB_LOADLIST = 14,
  ZEVP_VERB_VALIDATE = 15,
  ZEVP_VERB_UNPACK = 16,
  ZEVP_VERB_UNKNOWN = 17,
};

constexpr int32_t ZEVP_CONSOLE_VERB_COUNT = 17;

inline constexpr const char* ConCommandString[ZEVP_CONSOLE_VERB_COUNT] = {
    "GETPORT", "CHECK",    "DELETE", "IMPORT",   "REFRESH",  "SHOW",     "LIST",     "SHUTDOWN", "PING",
    "ACCEPT",  "TRAPCNFG", "SET",    "LOADCOMM", "LOADNAME", "LOADLIST", "VALIDATE", "UNPACK",
};
