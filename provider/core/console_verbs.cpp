#include "console_verbs.h"

#include <cctype>
#include <cstring>

int32_t ZEVP_ValidateConsoleCommand(char* verb) {
  if (verb == nullptr) return ZEVP_VERB_UNKNOWN;
  for (char* letter = verb; *letter != '\0'; ++letter)
    *letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*letter)));
  for (int32_t index = 0; index < ZEVP_CONSOLE_VERB_COUNT; ++index)
    if (std::strcmp(verb, ConCommandString[index]) == 0) return index;
  return ZEVP_VERB_UNKNOWN;
}

namespace zevp {

namespace {

// The word that begins at or after `from`, and where the text after it begins.
std::string NextWord(const std::string& text, size_t* from) {
  size_t start = text.find_first_not_of(' ', *from);
  if (start == std::string::npos) {
    *from = text.size();
    return std::string();
  }
  size_t end = text.find(' ', start);
  if (end == std::string::npos) end = text.size();
  *from = end;
  return text.substr(start, end - start);
}

}  // namespace

ConsoleCommandText SplitConsoleCommand(const char* text) {
  std::string command = text != nullptr ? text : "";
  size_t at = 0;
  ConsoleCommandText split;
  split.verb = NextWord(command, &at);
  split.argument = NextWord(command, &at);
  return split;
}

int32_t ConsoleVerbIndex(const std::string& verb) {
  std::string copy = verb;
  return ZEVP_ValidateConsoleCommand(copy.data());
}

bool ServedConsoleVerb(int32_t index) {
  return index >= ZEVP_VERB_GETPORT && index <= ZEVP_VERB_LOADLIST && index != ZEVP_VERB_SET;
}

}  // namespace zevp
