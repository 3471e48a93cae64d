// Ending a data provider: telling its threads to end, waiting for them, and
// releasing its model and its anchor.
#pragma once

#include "zevp/batch_run.h"

#include <cstdint>

struct DPAB;

// How long the shut-down waits for the threads, and how often it looks.
constexpr int ZEVP_SHUTDOWN_WAIT_SECONDS = 180;
constexpr int ZEVP_SHUTDOWN_LOOK_SECONDS = 5;


// Tells every thread of the main anchor to end and sets its shut-down flag,
// without waiting; nothing without a main anchor.
void ZEVP_ImmediateDPshutdown();

