#include "action_command.h"

#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

// The shortest quoted name that names something: two quotes and a character.
constexpr size_t kShortestQuotedName = 3;

// The closing quote ends the name; the parameters are the text after it, each kept as it
// came (quotes among the parameters belong to them).
int splitQuoted(const std::string& command, ActionCommand* split) {
  size_t closing = command.find('\'', 1);
  if (closing == std::string::npos) {
    TRC(TRC_ERROR, "Error: Invalid action command string. No closing single quote was found.");
    return 1;
  }
  split->name = '"' + command.substr(1, closing - 1) + '"';
  if (closing + 1 < command.size()) {
    size_t from = command[closing + 1] == ' ' ? closing + 2 : closing + 1;
    split->hasParms = true;
    split->parms = command.substr(from);
    TRC(TRC_DETAIL, "actionParms <%s>", split->parms.c_str());
  } else {
    TRC(TRC_DETAIL, "No actionParms found in command string");
  }
  if (split->name.size() < kShortestQuotedName) {
    TRC(TRC_ERROR, "Error: Action command string is empty.");
    return 1;
  }
  return 0;
}

int splitPlain(const std::string& command, ActionCommand* split) {
  size_t start = command.find_first_not_of(' ');
  if (start == std::string::npos) {
    TRC(TRC_ERROR, "Error: cannot determine actionName from command string <%s>", command.c_str());
    return 1;
  }
  size_t end = command.find(' ', start);
  split->name = command.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t parms = end == std::string::npos ? std::string::npos : command.find_first_not_of(' ', end);
  if (parms == std::string::npos) {
    TRC(TRC_DETAIL, "No actionParms found in <%s>", command.c_str());
    return 0;
  }
  split->hasParms = true;
  split->parms = command.substr(parms);
  return 0;
}

}  // namespace

int splitActionCommand(const char* command, ActionCommand* split) {
  *split = ActionCommand();
  std::string text = command != nullptr ? command : "";
  return !text.empty() && text[0] == '\'' ? splitQuoted(text, split) : splitPlain(text, split);
}
