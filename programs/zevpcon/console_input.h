// The operator's input: lines of standard input, and the command they (or the
// program's arguments) make up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zevpcon {

// The longest input line kept; the rest of a longer line is dropped.
constexpr size_t kConsoleLineMax = 1023;
// The command text sent to a data provider fits this buffer with its terminator.
constexpr size_t kCommandBufferSize = 4096;

// The next line of input without its carriage return and line feed, cut to
// kConsoleLineMax characters; an empty line shows message 3 and is read again.
// False at the end of input.
bool RetrieveConsoleInput(FILE* input, std::string* line);

struct ConsoleCommand {
  int32_t code = -1;
  std::string parameter;  // empty when none was given
};

// One step of reading a command: the text is a command (first word, perhaps a
// parameter as second word) while the command is not known yet, else the
// parameter. True when the command is complete. Otherwise *message is what to show:
// 6 for a word that selects nothing (or a parameter too long for the command
// buffer) and 0 for one the operator may not ask for, both forgetting the command;
// or the prompt for the missing parameter.
bool VerifyConsoleInput(const std::string& text, ConsoleCommand* command, bool* commandKnown, int* message);

// The operator's command: first from the arguments (the command word, then its
// parameter), then from input lines, prompting until a complete command is at
// hand. SET is carried out here: its parameter becomes *targetHost. False at the
// end of input.
bool ReadCompleteCommand(const std::vector<std::string>& arguments, FILE* input, ConsoleCommand* command,
                         std::string* targetHost);

}  // namespace zevpcon
