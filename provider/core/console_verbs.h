// The console's verbs and the text of a command: a verb, then perhaps blanks and
// an argument (a metafile, application or list file name).
#pragma once

#include <cstdint>
#include <string>

#include "zevp/console_verbs.h"

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
