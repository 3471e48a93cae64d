#include "console_input.h"

#include <cstring>

#include "command_words.h"
#include "trc1.h"
#include "zevp/console.h"

TRC_UNIT();

namespace zevpcon {

namespace {

constexpr int kPromptCommand = 2;
constexpr int kNothingEntered = 3;
constexpr int kInvalidCommand = 6;
constexpr int kTargetSet = 48;

// The longest parameter with which the longest command word, a blank and the
// terminator still fit the command buffer.
constexpr size_t kParameterMax = kCommandBufferSize - sizeof "SHUTDOWN" - 1;

// The blank-separated words of the text, at most `count`.
std::vector<std::string> Words(const std::string& text, size_t count) {
  std::vector<std::string> words;
  size_t at = 0;
  while (words.size() < count) {
    size_t start = text.find_first_not_of(" \t", at);
    if (start == std::string::npos) break;
    size_t end = text.find_first_of(" \t", start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

}  // namespace

bool RetrieveConsoleInput(FILE* input, std::string* line) {
  for (;;) {
    char buffer[kConsoleLineMax + 2];
    if (std::fgets(buffer, sizeof buffer, input) == nullptr) return false;
    size_t length = std::strlen(buffer);
    bool whole = length > 0 && buffer[length - 1] == '\n';
    if (!whole) {
      // Longer than the line buffer: what does not fit is dropped up to the line's end.
      int next;
      while ((next = std::fgetc(input)) != EOF && next != '\n') {
      }
    }
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) buffer[--length] = '\0';
    if (length > kConsoleLineMax) length = kConsoleLineMax;
    if (length > 0) {
      line->assign(buffer, length);
      return true;
    }
    ZEVP_ShowConsoleMessage(kNothingEntered, nullptr);
  }
}

bool VerifyConsoleInput(const std::string& text, ConsoleCommand* command, bool* commandKnown, int* message) {
  if (!*commandKnown) {
    std::vector<std::string> words = Words(text, 2);
    int32_t code = MatchCommandWord(words.empty() ? std::string() : words[0]);
    if (code < 0) {
      TRC(TRC_ERROR, "Console command input invalid: %s", text.c_str());
      *message = kInvalidCommand;
      return false;
    }
    if (DialogueOnlyCommand(code)) {
      *message = 0;
      return false;
    }
    command->code = code;
    command->parameter = words.size() > 1 ? words[1] : std::string();
    *commandKnown = true;
  } else {
    std::vector<std::string> words = Words(text, 1);
    command->parameter = words.empty() ? std::string() : words[0];
  }
  if (command->parameter.size() > kParameterMax) {
    TRC(TRC_ERROR, "Console command parameter of %zu characters refused", command->parameter.size());
    *commandKnown = false;
    *message = kInvalidCommand;
    return false;
  }
  if (!command->parameter.empty() || ParameterOptional(command->code)) return true;
  *message = ParameterPrompt(command->code);
  return false;
}

bool ReadCompleteCommand(const std::vector<std::string>& arguments, FILE* input, ConsoleCommand* command,
                         std::string* targetHost) {
  bool commandKnown = false;
  bool complete = false;
  int message = kPromptCommand;
  if (!arguments.empty()) {
    complete = VerifyConsoleInput(arguments[0], command, &commandKnown, &message);
    if (commandKnown && command->parameter.empty() && arguments.size() > 1)
      complete = VerifyConsoleInput(arguments[1], command, &commandKnown, &message);
  }
  for (;;) {
    while (!complete) {
      if (!commandKnown && message != kPromptCommand) {
        // The rejection, then the prompt for a new command.
        ZEVP_ShowConsoleMessage(message, nullptr);
        message = kPromptCommand;
      }
      ZEVP_ShowConsoleMessage(message, nullptr);
      std::string line;
      if (!RetrieveConsoleInput(input, &line)) return false;
      complete = VerifyConsoleInput(line, command, &commandKnown, &message);
    }
    if (command->code != ZEVP_VERB_SET) return true;
    // SET is never sent: it names the host whose data providers are looked for.
    *targetHost = command->parameter;
    ZEVP_ShowConsoleMessage(kTargetSet, targetHost->c_str());
    commandKnown = false;
    complete = false;
    message = kPromptCommand;
  }
}

}  // namespace zevpcon
