// Character conversion of partner buffers: declared with the engine's exported
// headers, since the console program converts its datagrams the same way.
#pragma once

#include "zevp/network_code.h"
