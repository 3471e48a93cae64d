// The processes of the namespace as /proc shows them, for the scenario's look at
// what is left at its end.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>

// The processes whose parent is the process.
std::set<pid_t> ChildrenOf(pid_t parent);

// The first child of the process that runs the program; -1 when there is none.
pid_t ChildRunning(pid_t parent, const std::string& program);

// The program's name as the system has it; empty when the process is gone.
std::string ProgramOf(pid_t pid);

// Makes the calling process the one that inherits the orphans of its descendants, so
// that a process which outlives its parent shows as its child and can be waited for.
bool AdoptOrphans();

// Waits for the child's end within the time: true, with its wait status, once it has
// been waited for (its process id is then free for reuse).
bool WaitForChild(pid_t child, int waitMs, int* status);

// Kills the process, and waits for it when it is a child.
void StopProcess(pid_t pid);
