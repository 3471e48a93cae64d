// The router work file: the routers of the last run, read back at the router
// thread's start. Text: the header line "Router Address,Router Name", then one
// line "<address>,<name>," per router.
#pragma once

#include <cstdio>

struct NetworkConfigurationBlock;

// Writes the block's routers to its router work file (traced when it cannot be opened).
void ZEVS_WriteRouterConfigToExt(NetworkConfigurationBlock* block);
// Registers every router of the block's router work file as Verify.
void ZEVS_ReadRouterConfigFromExt(NetworkConfigurationBlock* block);

namespace zevs {

constexpr char kRouterFileHeader[] = "Router Address,Router Name";
constexpr size_t kRouterFileLineMax = 512;

// Reads the lines of an open router work file until its end or the block's
// shut-down: a line beginning with a digit names a router by its dotted address
// up to the first ',', registered as Verify; any other line, a line over
// kRouterFileLineMax bytes and an address that does not parse are passed over.
// The lines read.
int ReadRouterLines(FILE* file, NetworkConfigurationBlock* block);

}  // namespace zevs
