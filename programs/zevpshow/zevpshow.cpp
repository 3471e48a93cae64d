// zevpshow status-code: prints the message of a status code.
#include <cctype>

#include "zevpapi/dp_api.h"

namespace {

constexpr int kNoMessageId = 20;
constexpr int kInvalidCode = 100;

// The decimal number the argument begins with; a number past the catalogue reads as
// its last entry, however many digits it has.
int CodeOf(const char* argument) {
  if (!std::isdigit(static_cast<unsigned char>(argument[0]))) return kInvalidCode;
  int code = 0;
  for (const char* digit = argument; std::isdigit(static_cast<unsigned char>(*digit)); ++digit) {
    code = code * 10 + (*digit - '0');
    if (code > kInvalidCode) return kInvalidCode;
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  dp_ShowMessage(argc > 1 ? CodeOf(argv[1]) : kNoMessageId, nullptr, 0);
  return 0;
}
