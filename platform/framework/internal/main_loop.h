// The main loop's state (internal to the framework).
#pragma once

namespace raf {

// True once RAF_Shutdown was called (until Reset).
bool FrameworkShutDown();
void ResetMainLoop();

}  // namespace raf
