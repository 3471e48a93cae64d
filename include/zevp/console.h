// The data provider's operator console: the service that runs on a data
// provider's start thread until shut-down, and the console messages that the
// console program prints.
#pragma once

struct DPAB;
struct ProcessEntry;

// Serves the data provider's UDP console port on the calling thread, one command
// at a time, until the data provider has shut down (the console command SHUTDOWN,
// or a shut-down requested from elsewhere, which the service carries out the same
// way). typeRoutine: FILE and ASFS data providers pass their file-server routine,
// with which imported applications get their file servers; the SNMP data provider
// its trap-configuration loader, which TRAPCNFG calls with a null argument; the
// others a routine that does nothing.
void ZEVP_ConsoleService(DPAB* anchor, void (*typeRoutine)(ProcessEntry*));

// Prints console message `index` with its insert (null for none) as one line on
// standard output: a message beginning with '$' gets the insert in front, in any
// other the insert takes the place of its '#'; cut to 255 characters.
void ZEVP_ShowConsoleMessage(int index, const char* insert);
