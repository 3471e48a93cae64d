#include "file_monitor.h"

#include <algorithm>

#include "bsv1.h"
#include "dp_anchor.h"
#include "file_server_thread.h"
#include "file_pattern_control_block.h"
#include "process_entry.h"
#include "source_entry.h"

namespace zevp {

bool FileServerToldToEnd(const ProcessEntry* server) {
  return server != nullptr && (server->terminationFlag != 0 || (server->anchor != nullptr && server->anchor->shutdownFlag != 0));
}

bool FileMonitor::toldToEnd() const { return FileServerToldToEnd(server); }

const char* FileMonitor::fileName() const {
  return spec != nullptr && spec->CurrentSpecFileName != nullptr ? spec->CurrentSpecFileName : source->SourceName;
}

bool SleepUnlessToldToEnd(const FileMonitor& monitor, int32_t seconds) {
  for (int32_t slept = 0; slept < seconds; ++slept) {
    if (monitor.toldToEnd()) return false;
    BSV1_Sleep(1);
  }
  return !monitor.toldToEnd();
}

}  // namespace zevp
