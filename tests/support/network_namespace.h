// A network namespace of the calling process's own, for tests that need fixed ports
// (or traffic) that must not meet the host's: only its loopback interface, brought up.
#pragma once

#include <string>

// Moves the calling process (and the processes it starts later) into a new network
// namespace and brings its loopback up; empty on success, else why it failed. Call it
// in a child process of the test (RunInChild) while it has no other thread.
std::string EnterOwnNetworkNamespace();
