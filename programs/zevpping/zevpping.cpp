// zevpping: asks the API data provider whether it runs; the exit code is the status.
#include <cstdio>

#include "api_tool.h"

int main(int argc, char** argv) {
  if (api_tool::AsksForUsage(argc, argv)) {
    std::fputs("Usage: zevpping   no parameter required\n", stdout);
    return 0;
  }
  constexpr int kPingSuccessful = 21;
  int status = 0;
  dp_Ping(&status);
  dp_ShowMessage(status == 0 ? kPingSuccessful : status, nullptr, 0);
  return status;
}
