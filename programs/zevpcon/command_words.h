// The console program's view of the command table: which command an operator's
// word selects, what a command needs before it is complete and how long its reply
// may take.
#pragma once

#include <cstdint>
#include <string>

#include "zevp/console_verbs.h"

namespace zevpcon {

// The code of the first command, in table order, whose word begins with the word
// upper-cased (so SHUT, VAL and L are enough); -1 when none does or the word is empty.
int32_t MatchCommandWord(const std::string& word);

// The word of a code, or null outside the table.
const char* CommandWordOf(int64_t code);

// Commands that only the console program itself uses (discovery and the steps of a
// dialogue); an operator cannot ask for them.
bool DialogueOnlyCommand(int32_t code);

// True when the command is complete without a parameter (SHUTDOWN's is optional).
bool ParameterOptional(int32_t code);

// The console message that asks for a missing parameter.
int ParameterPrompt(int32_t code);

// The wait of the command's own for its reply in seconds, 0 when it has none.
int OwnReplyWaitSeconds(int32_t code);

}  // namespace zevpcon
