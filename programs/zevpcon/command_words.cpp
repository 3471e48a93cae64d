#include "command_words.h"

#include <cctype>
#include <cstring>

namespace zevpcon {

int32_t MatchCommandWord(const std::string& word) {
  if (word.empty()) return -1;
  std::string upper = word;
  for (char& letter : upper) letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (int32_t code = 0; code < ZEVP_CONSOLE_VERB_COUNT; ++code)
    if (std::strncmp(ConCommandString[code], upper.c_str(), upper.size()) == 0) return code;
  return -1;
}

const char* CommandWordOf(int64_t code) {
  return code >= 0 && code < ZEVP_CONSOLE_VERB_COUNT ? ConCommandString[code] : nullptr;
}

bool DialogueOnlyCommand(int32_t code) {
  return code == ZEVP_VERB_GETPORT || code == ZEVP_VERB_CHECK || code == ZEVP_VERB_PING || code == ZEVP_VERB_ACCEPT;
}

bool ParameterOptional(int32_t code) {
  return code == ZEVP_VERB_LIST || code == ZEVP_VERB_TRAPCNFG || code == ZEVP_VERB_LOADCOMM ||
         code == ZEVP_VERB_LOADNAME || code == ZEVP_VERB_SHUTDOWN;
}

int ParameterPrompt(int32_t code) {
  switch (code) {
    case ZEVP_VERB_SET:
      return 49;
    case ZEVP_VERB_LOADLIST:
      return 61;
    case ZEVP_VERB_VALIDATE:
      return 62;
    default:
      return 7;
  }
}

int OwnReplyWaitSeconds(int32_t code) {
  switch (code) {
    case ZEVP_VERB_DELETE:
    case ZEVP_VERB_IMPORT:
      return 60;
    case ZEVP_VERB_REFRESH:
      return 90;
    default:
      return 0;
  }
}

}  // namespace zevpcon
