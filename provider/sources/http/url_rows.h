// URL statuses and page objects as rows of the application Internet: a
// Managed_URL row per checked URL and owner, sent by the DCH update task, and a
// URL_Objects row per object retrieved, sent by the subtask that retrieved it.
#pragma once

#include <cstdint>

struct DPAB;
struct URLmanagementBlock;

// The DCH update task's thread routine (the argument is the anchor): presents each
// status a client task left once no object request of its URL is outstanding, and
// waits for the next signal, until the manager tells it to end.
void* ZEVP_DoHTTPupdateDCH(void* anchor);

// Sends one URL_Objects row, when page-object reporting is on.
void ZEVP_DoObjectUpdateDCH(const char* url, int32_t urlLength, const char* objectURL, int32_t objectURLlength,
                            int32_t objectSize);

namespace zevp {

// Starts the update task for the block; false when it could not be started.
bool StartURLupdateTask(DPAB* anchor, URLmanagementBlock* block);
// Tells the update task to end and waits until it has.
void EndURLupdateTask(URLmanagementBlock* block);

}  // namespace zevp
