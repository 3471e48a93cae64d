// Messages to the management side's message console.
#pragma once

#include <cstdint>

// Sends text with a category and a severity (either may be null) to the message
// console. Inside the agent the framework creates the message (result 0); in a
// stand-alone data-provider program the framework's console command TZOMESG is
// run (found on PATH, never through a shell) and its exit status is the result.
// -1 when nothing was sent: the feature is off (ZEV_DMC beginning with N or n)
// or there is no text.
int32_t ZEV0_PXconsoleMessage(const char* category, const char* severity, const char* text);
