#include "console_dialogue.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "command_words.h"
#include "dp_exchange.h"
#include "reply_text.h"
#include "trc1.h"
#include "zevp/console.h"
#include "zevp/console_verbs.h"

TRC_UNIT();

namespace zevpcon {

namespace {

constexpr int kTimedOut = 9;
constexpr int kBusy = 42;
constexpr int kPackaged = 63;

// The next command of a dialogue: its word's code and its text.
struct NextCommand {
  int32_t code = -1;
  std::string text;
};

class Dialogue {
 public:
  Dialogue(ConsoleTransport* transport, const ConsoleCommand& command, FILE* input)
      : transport_(transport), command_(command), input_(input) {}
  void run();

 private:
  // Each shows the outcome of a reply, or asks, and may set next_.
  void deleteStep(long rc);
  void importStep(long rc);
  void refreshStep(long rc);
  void showStep(long rc, const std::string& reply);
  void listStep(long rc, const std::vector<std::string>& tokens);
  // The reply to the CHECK of DELETE or REFRESH: the application is not defined, or
  // the operator confirms the command (sent) or cancels it.
  void confirmStep(long rc, int notDefined, int confirm, int cancelled);
  // The definition the data provider has already: accepted or removed.
  void acceptOrRemove();
  // Message `message` with the name, and the operator's answer; false at end of input.
  bool confirmed(int message, bool* yes);
  void send(int32_t code) { next_ = NextCommand{code, std::string(ConCommandString[code]) + " " + name()}; }
  const char* name() const { return command_.parameter.c_str(); }
  static void show(int message, const char* insert = nullptr) { ZEVP_ShowConsoleMessage(message, insert); }

  ConsoleTransport* transport_;
  const ConsoleCommand& command_;
  FILE* input_;
  int32_t sent_ = -1;
  NextCommand next_;
  bool removing_ = false;
};

bool Dialogue::confirmed(int message, bool* yes) {
  show(message, name());
  std::string answer;
  if (!RetrieveConsoleInput(input_, &answer)) return false;
  *yes = std::toupper(static_cast<unsigned char>(answer[0])) == 'Y';
  return true;
}

void Dialogue::confirmStep(long rc, int notDefined, int confirm, int cancelled) {
  bool yes = false;
  if (rc == 3) {
    show(notDefined);
  } else if (rc == 4 && confirmed(confirm, &yes)) {
    if (yes)
      send(command_.code);
    else
      show(cancelled, name());
  }
}

void Dialogue::deleteStep(long rc) {
  if (sent_ == ZEVP_VERB_CHECK)
    confirmStep(rc, 13, 15, 16);
  else
    show(rc == 0 ? 17 : 14);
}

void Dialogue::acceptOrRemove() {
  show(35);
  bool yes = false;
  if (!confirmed(36, &yes)) return;
  if (yes) {
    send(ZEVP_VERB_ACCEPT);
    return;
  }
  send(ZEVP_VERB_DELETE);
  show(37);
  removing_ = true;
}

void Dialogue::importStep(long rc) {
  if (sent_ == ZEVP_VERB_CHECK) {
    if (rc == 4) show(21, name());
    if (rc == 3) send(ZEVP_VERB_IMPORT);
    return;
  }
  switch (rc) {
    case 0:
      if (removing_)
        show(38);
      else
        show(20, name());
      break;
    case 5:
      show(34);
      break;
    case 6:
      acceptOrRemove();
      break;
    case 8:
      TRC(TRC_ERROR, "Metafile %s not found", name());
      show(43);
      break;
    case 12:
      show(50);
      break;
    default:
      show(22, std::to_string(rc).c_str());
      break;
  }
}

void Dialogue::refreshStep(long rc) {
  if (sent_ == ZEVP_VERB_CHECK) {
    confirmStep(rc, 23, 25, 26);
    return;
  }
  switch (rc) {
    case 0:
      show(removing_ ? 40 : 27);
      break;
    case 6:
      acceptOrRemove();
      break;
    case 8:
      show(43);
      break;
    case 12:
      show(50);
      break;
    default:
      show(24);
      break;
  }
}

void Dialogue::showStep(long rc, const std::string& reply) {
  if (rc == 3) {
    show(28, name());
    return;
  }
  show(0);
  show(29);
  std::fputs(ShowRecordLines(TextFromToken(reply, 2)).c_str(), stdout);
  std::fflush(stdout);
}

void Dialogue::listStep(long rc, const std::vector<std::string>& tokens) {
  if (rc == 2) show(12);
  if (rc != 0) return;
  show(0);
  show(11);
  for (size_t n = 1; n < tokens.size(); ++n) std::printf("  %s\n", tokens[n].c_str());
  std::fflush(stdout);
}

// The message of a reply that only reports: the message of status 0, of 10 (not an
// SNMP data provider), of the one status of its own, and of any other.
struct ReportMessages {
  int done;
  int rejected;
  long ownStatus;
  int own;
  int failed;
};
int ReportMessage(const ReportMessages& messages, long rc) {
  if (rc == 0) return messages.done;
  if (rc == 10) return messages.rejected;
  if (rc == messages.ownStatus) return messages.own;
  return messages.failed;
}

// The word of the command code of a busy reply; a token that is no code of the
// table as it came.
std::string ActiveCommandWord(const std::string& token) {
  char* end = nullptr;
  long code = std::strtol(token.c_str(), &end, 10);
  const char* word = end != token.c_str() && *end == '\0' ? CommandWordOf(code) : nullptr;
  return word != nullptr ? word : token;
}

}  // namespace

std::string FirstCommandText(const ConsoleCommand& command) {
  int32_t code = command.code;
  if (code == ZEVP_VERB_DELETE || code == ZEVP_VERB_IMPORT || code == ZEVP_VERB_REFRESH) code = ZEVP_VERB_CHECK;
  std::string text = ConCommandString[code];
  if (!command.parameter.empty()) text += " " + command.parameter;
  return text;
}

void Dialogue::run() {
  next_ = NextCommand{command_.code == ZEVP_VERB_DELETE || command_.code == ZEVP_VERB_IMPORT ||
                              command_.code == ZEVP_VERB_REFRESH
                          ? ZEVP_VERB_CHECK
                          : command_.code,
                      FirstCommandText(command_)};
  while (next_.code >= 0) {
    NextCommand current = next_;
    next_ = NextCommand{};
    sent_ = current.code;
    std::string reply;
    if (!SendReceiveDPcommand(transport_, current.text, &reply, OwnReplyWaitSeconds(current.code), current.code)) {
      if (command_.code != ZEVP_VERB_LIST) show(kTimedOut);
      return;
    }
    const std::vector<std::string> tokens = ReplyTokens(reply);
    const long rc = std::strtol(reply.c_str(), nullptr, 10);
    if (rc == 7) {
      // The command in progress by its code; a code outside the table as it came.
      std::string active = tokens.size() > 1 ? tokens[1] : std::string();
      show(kBusy, ActiveCommandWord(active).c_str());
      return;
    }
    if (rc == 13) {
      show(kPackaged);
      return;
    }
    switch (command_.code) {
      case ZEVP_VERB_DELETE:
        deleteStep(rc);
        break;
      case ZEVP_VERB_IMPORT:
        importStep(rc);
        break;
      case ZEVP_VERB_REFRESH:
        refreshStep(rc);
        break;
      case ZEVP_VERB_SHOW:
        showStep(rc, reply);
        break;
      case ZEVP_VERB_LIST:
        listStep(rc, tokens);
        break;
      case ZEVP_VERB_SHUTDOWN:
        show(rc == 0 ? 18 : 19, rc == 0 ? nullptr : std::to_string(rc).c_str());
        break;
      case ZEVP_VERB_TRAPCNFG:
        show(ReportMessage({45, 44, 11, 47, 46}, rc));
        break;
      case ZEVP_VERB_LOADCOMM:
        show(ReportMessage({52, 51, 10, 51, 53}, rc));
        break;
      case ZEVP_VERB_LOADNAME:
        show(ReportMessage({55, 54, 10, 54, 56}, rc));
        break;
      case ZEVP_VERB_LOADLIST:
        show(ReportMessage({58, 57, 60, 60, 59}, rc));
        break;
      default:
        break;
    }
  }
}

void RunExchangeLoop(ConsoleTransport* transport, const ConsoleCommand& command, FILE* input) {
  Dialogue(transport, command, input).run();
}

}  // namespace zevpcon
