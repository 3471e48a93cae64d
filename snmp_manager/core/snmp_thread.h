// How every thread of the SNMP manager library ends.
#pragma once

#include <cstdint>

// The exit value of the library's threads: the address of this word, which holds 0.
extern int32_t ZEVS_ThreadRC;

// Ends the calling thread with ZEVS_ThreadRC.
[[noreturn]] void ZEVS_EndThread();
