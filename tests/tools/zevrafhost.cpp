// Hosts the framework stand-in the way the agent does, for tests of its management-
// server port: registers the demo table through the agent loader, two subnodes with
// rows, and the demo command callback, then runs the framework's main loop until
// SIGTERM comes or standard input closes.
//
// The port is ZEVA_RAF_PORT. Once the main loop serves it the program writes
// "ready <port>" and a newline to standard output ("ready 0" when it serves none).
// Option: --idle-ms N, how long the port waits for a request line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "raf.h"
#include "raf_demo_table.h"
#include "raf_driver.h"
#include "tool_ending.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kReadyWaitMs = 10000;

rafdemo::DemoManager* demoManager = nullptr;

int loadDemoTable() {
  demoManager = new rafdemo::DemoManager();
  demoManager->SetRows("host1:DEMOAPP00", {rafdemo::Row("host1:DEMOAPP00", "backup\tnightly", 42, -7),
                                           rafdemo::Row("host1:DEMOAPP00", "", 0, 0)});
  demoManager->SetRows("host2:DEMOAPP00", {rafdemo::Row("host2:DEMOAPP00", "line\nfeed", -2147483647 - 1, 32767)});
  return demoManager->RegisterWithManager();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--idle-ms") == 0) {
    raf::SetIdleLimit(std::atoi(argv[2]));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: zevrafhost [--idle-ms N]\n");
    return kUsageError;
  }
  int signalDescriptor = TerminationSignal();
  if (signalDescriptor < 0) return 1;
  RAF_SetNodeType("DV");
  RAF_RegisterAgentLoader(loadDemoTable);
  RAF_Subnode_Register("host1:DEMOAPP00", "AFFINITY1", "DEMOAPP", "03.00.00");
  RAF_Subnode_Register("host2:DEMOAPP00", "AFFINITY2", "DEMOAPP", "03.01.00");
  RAF_Subnode_Register("gone:DEMOAPP00", "AFFINITY3", "DEMOAPP", "03.00.00");
  RAF_Subnode_Deregister("gone:DEMOAPP00");
  RAF_RegisterCommandCallback("*", rafdemo::DemoCommand);
  char name[] = "zevagent";
  char* arguments[] = {name, nullptr};
  std::thread mainLoop([&] { tzomain(1, arguments); });
  if (raf::WaitForMainLoop(kReadyWaitMs)) {
    std::printf("ready %d\n", raf::ServerPort());
    std::fflush(stdout);
    while (!EndRequested(signalDescriptor, -1)) {
    }
  }
  RAF_Shutdown(1);
  mainLoop.join();
  close(signalDescriptor);
  return 0;
}
