// Files of /proc read by the tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The whole text of a /proc file; empty when it cannot be read. A process that ends
// while its file is read makes the read fail (ESRCH), which the standard streams
// report by throwing.
std::string ProcText(const std::string& path);

// The descriptors of the process above standard input, output and error that a program
// it starts would get: those without close-on-exec, each as "number -> what it is".
std::vector<std::string> DescriptorsPassedOnExec(pid_t pid);

// The descriptors the process has open, each as "number -> what it is".
std::vector<std::string> OpenDescriptors(pid_t pid);

// The resident memory of the process in kB (VmRSS of its status); -1 when it cannot be read.
long ResidentKilobytes(pid_t pid);

// The threads the process has now (the entries of its task folder).
int ThreadCount(pid_t pid);

// Whether the process's main thread blocks the signal (its status's SigBlk).
bool SignalBlocked(pid_t pid, int signal);
