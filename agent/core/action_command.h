// An automation command of the framework split into the action's name and parameters.
#pragma once

#include <string>

struct ActionCommand {
  // A name written in single quotes keeps its quotes as double quotes: 'RESTART' gives
  // "RESTART" (quotes included).
  std::string name;
  bool hasParms = false;
  // As received after the name, one separating blank dropped.
  std::string parms;
};

// Splits the command: 0, or 1 (traced) when it holds no name or its quoted name has no
// closing quote.
//   'NAME' parms   the name up to the next single quote, the rest as parameters
//   NAME parms     the first blank-separated word, the rest as parameters
int splitActionCommand(const char* command, ActionCommand* split);
