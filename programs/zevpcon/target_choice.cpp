#include "target_choice.h"

#include <cerrno>
#include <cstdlib>

#include "console_input.h"
#include "zevp/console.h"
#include "zevp/console_verbs.h"

namespace zevpcon {

namespace {

constexpr int kSelectDP = 32;
constexpr int kInvalidSelection = 33;

// The labels of the types 0 to 11.
const char* const kTypeLabels[] = {"APIS - ", "FILE - ", "SOCK - ", "ASFS - ", "POST - ", "SNMP - ",
                                   "APPC - ", "ODBC - ", "HTTP - ", "SMTP - ", "MQUE - ", "MSMQ - "};
constexpr int32_t kLabelCount = sizeof kTypeLabels / sizeof kTypeLabels[0];

// The number the answer gives, or -1 when it is none.
long Choice(const std::string& answer) {
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(answer.c_str(), &end, 10);
  while (*end == ' ') ++end;
  return end != answer.c_str() && *end == '\0' && errno == 0 ? number : -1;
}

}  // namespace

std::string TargetLine(size_t number, const FoundDataProvider& found) {
  char head[16];
  std::snprintf(head, sizeof head, "     %2.2zu ", number);
  const char* label = found.type >= 0 && found.type < kLabelCount ? kTypeLabels[found.type] : "";
  return head + std::string(label) + found.host + " ";
}

bool SetTargetDP(ConsoleTransport* transport, int32_t code, FILE* input) {
  const bool all = code == ZEVP_VERB_SHUTDOWN;
  ZEVP_ShowConsoleMessage(0, nullptr);
  if (all) std::printf("     00 All DPs\n");
  for (size_t number = 1; number <= transport->found.size(); ++number)
    std::printf("%s\n", TargetLine(number, transport->found[number - 1]).c_str());
  std::fflush(stdout);
  ZEVP_ShowConsoleMessage(kSelectDP, nullptr);
  for (;;) {
    std::string answer;
    if (!RetrieveConsoleInput(input, &answer)) return false;
    long number = Choice(answer);
    if (number >= (all ? 0 : 1) && number <= static_cast<long>(transport->found.size())) {
      transport->selected = static_cast<size_t>(number);
      return true;
    }
    ZEVP_ShowConsoleMessage(kInvalidSelection, nullptr);
  }
}

}  // namespace zevpcon
