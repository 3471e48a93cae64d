// The records of the application model, for code that walks the whole tree:
// application, attribute groups, their sources, their attributes, and the I/O,
// file-name and routing blocks that hang from them.
#pragma once

#include "application_entry.h"
#include "attribute_entry.h"
#include "file_pattern_control_block.h"
#include "internal_routing_block.h"
#include "io_entry.h"
#include "model_limits.h"
#include "source_entry.h"
#include "source_states.h"
#include "table_entry.h"
