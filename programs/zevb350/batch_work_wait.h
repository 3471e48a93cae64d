// The batch job's wait for its batch work: the anchor's count of active threads is
// looked at every 60 seconds (the basic services' sleep) while it is above the two
// that every batch run has (the DCH client and the periodic task).
#pragma once

struct DPAB;

namespace zevb350 {

// Returns once the batch work is done, or at once when the termination descriptor
// (-1: none) turns readable; true when the work is done.
bool WaitForBatchWork(DPAB* anchor, int terminationSignal);

}  // namespace zevb350
