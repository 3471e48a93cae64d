// The DCH settings of a test process, and the wait for a server running in it.
#pragma once

class DCHserver;

// One free loopback port for the whole process, set in the environment with the other DCH
// settings before the first transport reads them (they are read once per process).
unsigned short LoopbackDCHPort();

// As the agent core waits for its server to be ready, but giving up after a few seconds.
bool WaitUntilReady(DCHserver& server);
