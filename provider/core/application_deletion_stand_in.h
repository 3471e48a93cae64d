// Deleting an application: a stand-in until the model's deletion is built.
#pragma once

struct ApplicationEntry;
struct DPAB;

// Unregisters and frees the application; its sources' threads are not stopped.
void ZEVP_DeleteExistingApplication(DPAB* anchor, ApplicationEntry* application);
