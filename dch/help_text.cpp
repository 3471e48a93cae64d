// Help texts travel inside comma-, colon- and semicolon-separated definition texts.
#include <cstring>

#include "dch/channel_functions.h"

void ZEVA_validateHelpText(char* text) {
  if (text == nullptr) return;
  for (char* at = text; *at != '\0'; ++at) {
    if (std::strchr(",:;'\"", *at) != nullptr) *at = ' ';
  }
}
