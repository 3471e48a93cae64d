// The spine of the agent program zeva350: start-up, the wait for the data providers (or
// the framework) and the tear-down.
#pragma once

// Reads the agent's limits, gives the framework the agent's identity, brings up the
// agent's DCH server and the DCH consumer side, creates the row store's global lists,
// starts the data providers named by the arguments (or ZEVA_STARTUP_DP, or the product
// file's list), registers DV_Action and runs the framework's main loop on a thread of
// its own. Returns once every data provider has ended (with none: once the framework's
// main loop has returned), with the status monitor stopped, the framework ended and the
// DCH server destroyed; the lists stay for the threads that outlive it until the process
// ends. Ends the process with exit code 1 when the product specification or the product's
// identity is missing.
void DV_Main(int argc, char* argv[]);

// The framework's thread: runs its main loop as "zevagent". When the loop returns while
// data providers still run (the process was told to end), every data provider of the
// process is asked to end, so that the agent ends with them. Returns null.
void* startRAF(void* unused);

// The agent loader the framework calls when it takes table managers: starts the fixed
// tables. 0.
int LoadAgents();
