// The console's verbs and the text of a command: a verb, then perhaps blanks and
// an argument (a metafile, application or list file name).
#pragma once

#include <cstdint>
#include <string>

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

// The longest metafile, application or list file name a command may name: a
// longer one names nothing (a file name fits 512 bytes with its zero).
constexpr size_t ZEVP_CONSOLE_NAME_MAX = 511;

// Upper-cases the verb in place; its index by exact comparison, or
// ZEVP_VERB_UNKNOWN when no verb matches.
int32_t ZEVP_ValidateConsoleCommand(char* verb);

namespace zevp {

// The verb and the argument of a command: its first two blank-separated words
// (runs of blanks separate, anything after the second word is left out).
struct ConsoleCommandText {
  std::string verb;      // empty for an empty or all-blank command
  std::string argument;  // empty when none is given
};
ConsoleCommandText SplitConsoleCommand(const char* text);

// The verb's index (ZEVP_ValidateConsoleCommand) of a word of any length.
int32_t ConsoleVerbIndex(const std::string& verb);

// True for the verbs the data provider carries out (SET, VALIDATE and UNPACK are
// the console program's own).
bool ServedConsoleVerb(int32_t index);

}  // namespace zevp
