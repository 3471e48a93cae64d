// zevpcon: the operator's console to the data providers of a host.
#include <cstdio>
#include <string>
#include <vector>

#include "console_run.h"
#include "console_transport.h"
#include "zev0/prodspec.h"

int main(int argc, char** argv) {
  if (!ZEV0_InitializeProductSpec()) {
    std::printf("Product specification initialization failed.\n");
    return 0;
  }
  zevpcon::ConsoleTransport transport;
  zevpcon::ReadConsoleSettings(&transport);
  return zevpcon::RunConsole(std::vector<std::string>(argv + 1, argv + argc), stdin, &transport);
}
