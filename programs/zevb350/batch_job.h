// One batch job: the engine run once in batch mode for one metafile, from its
// environment settings to the batch log's end line.
#pragma once

#include <string>
#include <vector>

namespace zevb350 {

// The usage text on standard output.
void ShowUsage();

// The batch log's full name: in PXRAF_LOG_PATH (else ./logs), named from the base
// name of the program as invoked and the agent time stamp of the start.
std::string BatchLogName(const std::string& programPath, const std::string& timeStamp);

// Runs the job; the exit code, 0 on every path. terminationSignal: a descriptor
// (signalfd) that turns readable when the job is to end, or -1 for none: while the
// job waits for its batch work, a signal ends the wait at once and the job goes on
// with the engine's shut-down.
int RunBatchJob(const std::string& programPath, const std::vector<std::string>& arguments, int terminationSignal);

}  // namespace zevb350
