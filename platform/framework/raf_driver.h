// Test driver of the remote-agent framework stand-in: plays the management server in
// the test's own process. It opens requests on registered table managers, samples
// them, reads their event batches, fires automation commands, reads what the system
// told the framework, and injects failures into the framework's calls.
//
// Hosting the stand-in on a port: set ZEVA_RAF_PORT to a free loopback port, run
// tzomain on a thread of the test, WaitForMainLoop, ... RAF_Shutdown, join the thread,
// Reset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raf.h"

namespace raf {

// One predicate of a request (see FLT1_FILTERINFO).
struct Predicate {
  std::string column;
  int comparison = 1;  // an _IntfOper
  std::string value;
  int logical = 0;
  int function = 0;
};

// What the management server asks for.
struct RequestSpec {
  std::string application;
  std::string table;
  std::string situation;  // empty: not a situation
  int sampleType = 3;     // an IntfSampleType
  int interval = 0;       // seconds
  std::string instructions;
  std::vector<std::string> subnodes;
  std::vector<Predicate> predicates;
};

// Opens a request: the table's registered manager creates its request object, which
// then joins the manager's request list. The request's handle, or 0 when no manager
// serves the table, CreatePxraf gave none, or the framework has shut down.
uint32_t OpenRequest(const RequestSpec& spec);
// One sample: TakeSample, then the rows inserted (each DataSize() bytes), which are
// then taken from the request. False when the request has ended.
bool Sample(uint32_t handle, std::vector<std::string>* rows);
// The event batches Dispatch delivered since the last take, oldest first.
std::vector<std::vector<std::string>> TakeEventBatches(uint32_t handle);
// Ends the request: it leaves its manager's list, the end waits for every pin to
// drop, then the request object is deleted. False when the request has ended already.
bool CloseRequest(uint32_t handle);

// What became of an automation command.
struct CommandOutcome {
  bool ran = false;      // the request existed and the command went to ExecuteCommand
  int returned = 0;      // ExecuteCommand's result (the callback's)
  int results = 0;       // what the callback set with SetResults
  bool finished = false; // FinishedAutomationCommand was called
};
// Fires a command on an open request: the firing rows replace the request's rows
// (each cut or padded to DataSize()) and the command runs with row dataRowNum.
CommandOutcome FireCommand(uint32_t handle, const std::string& command, const std::vector<std::string>& firingRows,
                           int dataRowNum);
// Fires a policy's command (table "CLACTRMT", an automation request without rows)
// addressed to the subnodes.
CommandOutcome FirePolicyCommand(const std::vector<std::string>& subnodes, const std::string& command);

struct Subnode {
  std::string name;
  std::string affinity;
  std::string application;
  std::string version;
  bool online = false;
};
// Every subnode known, in order of first registration.
std::vector<Subnode> Subnodes();

struct Manager {
  std::string application;
  std::string table;
};
// The registered table managers, in order of registration.
std::vector<Manager> Managers();
// Handles of the open requests of one table, in order of opening.
std::vector<uint32_t> OpenRequests(const std::string& application, const std::string& table);

struct LogEntry {
  std::string recordType;
  std::string text;
  std::string productCode;
};
// The operations-log entries written since the last take, oldest first; clears them.
std::vector<LogEntry> TakeOperationsLog();

struct Identity {
  std::string nodeType;
  std::string affinity;
  std::string productCode;
  std::string version;
  bool agentLoader = false;  // a loader is registered
  std::vector<std::string> commandPatterns;
};
Identity CurrentIdentity();

// The framework calls a test can make fail.
enum class Failure {
  SubnodeRegister,    // answers 7
  SubnodeDeregister,  // answers 7
  SubnodeDelete,      // answers 7
  SubnodeSendRequest, // answers 1
  InsertRow,          // answers 1, no row
  Dispatch,           // answers RAF_STATUS_FAILED, no batch
  Shutdown,           // TableManager::Shutdown answers RAF_STATUS_FAILED, requests stay
};
// The next `times` calls of that kind fail.
void InjectFailure(Failure call, int times = 1);

// True once tzomain has called the agent loader and opened its port (or failed to),
// within waitMs.
bool WaitForMainLoop(int waitMs);
// The port the main loop serves, 0 when it serves none.
int ServerPort();
// How long the port waits for a client's request line before it answers an error and
// closes the connection (0: the default, 5000 ms).
void SetIdleLimit(int milliseconds);

// Back to a fresh framework for the next test: ends the open requests, forgets
// managers (without deleting them), subnodes, messages, log entries, identity,
// loader, callbacks, injected failures and the shut-down. The main loop must have
// returned.
void Reset();

}  // namespace raf
