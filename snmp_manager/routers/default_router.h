// The host's own default router, as the route table printed by netstat names it.
#pragma once

// Runs "/usr/bin/netstat -r >RTINFO" in the current directory and reads the file:
// the first line holding "default" whose first word after the first blank
// resolves gives the router's dotted address in a new 80-byte block (the caller
// frees it). The file is removed. Null when there is no such line.
char* ZEVS_IdentifyOwnDefaultRouter();
