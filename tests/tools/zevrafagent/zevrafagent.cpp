// A stand-in for one of the maker's agents, for the tests of agent discovery: serves
// RAF_Agent (agent_options.h for its command line), prints a line for each call it
// serves, and ends on SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "agent_options.h"
#include "agent_output.h"
#include "agent_server.h"
#include "proxy_callbacks.h"

namespace {

ProxyCallbacks* callbacks = nullptr;
int startAgentCalls = 0;

std::string Field(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

void PrintStartAgent(rpc__handle_t caller, const StartAgentCall& call) {
  socket__addr_t address;
  int addressLength = sizeof address;
  char name[256];
  int nameLength = sizeof name;
  unsigned port = 0;
  rpc__status_t status;
  rpc__inq_binding(caller, &address, &addressLength, &status);
  rpc__sockaddr_to_name(&address, addressLength, name, &nameLength, &port, &status);
  if (status != rpc__s_ok) std::strcpy(name, "?");
  std::string data;
  for (int i = 0; i <= call.thresholds.count && i < RAF_THRESHOLD_DATA_SIZE; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", call.thresholds.data[i]);
    data += hex;
  }
  PrintLine(
      "StartAgent|from=%s|argument=%d|request=%d,%d|product=%s|class=%s|target=%s|origin=%d,%d,%s|length=%d|"
      "instruction=%s|thresholds=%d,%d,%d,%d|data=%s",
      name, call.argument, call.request.word[0], call.request.word[1],
      Field(call.product.code, sizeof call.product.code).c_str(),
      Field(call.product.commandClass, sizeof call.product.commandClass).c_str(), call.target, call.origin.word[0],
      call.origin.word[1], call.origin.text, call.instructionLength, call.instruction.c_str(),
      call.thresholds.field[0], call.thresholds.field[1], call.thresholds.field[2], call.thresholds.count,
      data.c_str());
}

void StartAgent(rpc__handle_t caller, const StartAgentCall& call, RAF_RequestId_t* request, int32_t* status) {
  PrintStartAgent(caller, call);
  // Calls run one at a time on this agent (it listens with one call thread).
  request->word[0] = ++startAgentCalls;
  *status = 0;
  callbacks->queue(call.instruction);
}

void StopAgent(rpc__handle_t, const RAF_RequestId_t& request, int32_t* status) {
  PrintLine("StopAgent|request=%d,%d", request.word[0], request.word[1]);
  *status = 0;
}

const rpc__routine_t managerEpv[2] = {reinterpret_cast<rpc__routine_t>(StartAgent),
                                      reinterpret_cast<rpc__routine_t>(StopAgent)};

}  // namespace

int main(int argc, char** argv) {
  AgentOptions options;
  std::string reason;
  if (!ReadAgentOptions(argc, argv, &options, &reason)) {
    std::fprintf(stderr, "zevrafagent: %s\n", reason.c_str());
    return 2;
  }
  // Every thread started from here on leaves SIGTERM to the waiter below.
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &termination, nullptr);

  setenv("ZEV_RPC_SERVER_ADDRESS", options.address.c_str(), 1);
  RAF_Agent_v131_if_spec.port[socket__family_internet] = static_cast<uint16_t>(options.port);
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status;
  rpc__use_family_wk(socket__family_internet, &RAF_Agent_v131_if_spec, &address, &addressLength, &status);
  char text[error__c_text_size];
  if (status != rpc__s_ok) {
    error__c_text(status, text, sizeof text);
    std::fprintf(stderr, "zevrafagent: %s[%u]: %s\n", options.address.c_str(), options.port, text);
    return 1;
  }
  rpc__register_mgr(&uuid__nil, &RAF_Agent_v131_if_spec, RAF_Agent_server_epv, managerEpv, &status);

  ProxyCallbacks proxyCallbacks(options);
  callbacks = &proxyCallbacks;
  std::thread terminationWaiter([&] {
    int signal = 0;
    sigwait(&termination, &signal);
    rpc__status_t ignored;
    rpc__shutdown(&ignored);
  });
  PrintLine("listening|%s|%u", options.address.c_str(), options.port);
  rpc__listen(1, &status);
  terminationWaiter.join();
  return 0;
}
