// Remote-agent framework stand-in: the process-wide calls the system makes of the
// framework (identity, agent loader, command callback, subnodes, console messages,
// operations log, main loop and shut-down).
//
// The classes are in pxraf.h (requests) and table_manager.h (managers); the test
// driver is in raf_driver.h.
//
// While tzomain runs, the framework serves the management-server port: one-line text
// requests on 127.0.0.1, at the port in ZEVA_RAF_PORT (1920 when unset); see
// docs/framework-port.md and the zevraf command. It also serves the interfaces
// registered with the process's RPC runtime (raf_call_serving.h).
#pragma once

#include <string>
#include <vector>

class PxrafAutomationCapsule;

// Called once by tzomain when the framework is ready to accept table managers.
using RAF_AgentLoader = int (*)();
// Called once per automation command; returns the command's result code.
using RAF_CommandCallback = int (*)(PxrafAutomationCapsule* capsule);

// The agent's identity. Each returns 0.
int RAF_SetNodeType(const char* nodeType);
int RAF_SetAffinity(const char* affinity);
int RAF_SetProduct(const char* productCode, const char* version);
int RAF_RegisterAgentLoader(RAF_AgentLoader loader);
// Commands run through the callback registered under the pattern Pxraf::ExecuteCommand
// names ("*" serves them all); a later registration under a pattern replaces the earlier.
int RAF_RegisterCommandCallback(const char* pattern, RAF_CommandCallback callback);

// Subnodes: name at most 32 characters, the 43-character affinity, the application
// and its version vv.rr.mm. Register (again: updated) makes the subnode known and
// online, Deregister takes it offline, Delete forgets it. 0, or 7 on failure (an
// empty or over-long name; an unknown subnode, or one already offline for Deregister).
int RAF_Subnode_Register(const char* subnode, const char* affinity, const char* application, const char* version);
int RAF_Subnode_Deregister(const char* subnode);
int RAF_Subnode_Delete(const char* subnode);
// Sends the subnode changes made so far to the management server: 0, or 1 on failure.
int RAF_Subnode_SendRequest();

// Creates a console message on the management side. options: 0.
void RAF_CreateMessage(const char* severity, const char* category, const char* text, int options);
// Writes an entry to the management server's operations log; 0.
int PXRAF_insert_log(const char* recordType, const char* text, const char* productCode);

// The framework's main loop: calls the agent loader once, serves the management-server
// port and returns 0 when RAF_Shutdown is called (at once when it was called already),
// or when the process receives SIGTERM or SIGINT while the loop runs (the framework is
// then not shut down: RAF_Shutdown still ends the open requests). One main loop at a
// time: a second one returns 1 at once.
int tzomain(int argc, char* argv[]);
// Ends the main loop and every open request; later calls do nothing. 0.
int RAF_Shutdown(int code);

namespace raf {

// What RAF_CreateMessage was given (a null text is kept as an empty one).
struct ConsoleMessage {
  std::string severity;
  std::string category;
  std::string text;
  int options;
};

// Test support: the messages created since the last take, oldest first; clears them.
std::vector<ConsoleMessage> TakeConsoleMessages();

}  // namespace raf
