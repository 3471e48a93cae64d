// Stand-ins for the routines of engine parts that are not built yet: each does
// the least that its callers rely on. A part that is built replaces its stand-in
// in the routine table (engine_routines.cpp) and deletes it here.
#pragma once

#include "engine_routines.h"

namespace zevp::standin {

// A thread that waits on its condition until its termination flag is set, then
// releases its entry and ends: every common and input server thread.
void IdleUntilTerminated(ProcessEntry* entry);

}  // namespace zevp::standin
