// Character conversion of buffers that travel to and from partners (console,
// socket and API partners) in place; the DCH itself converts through the
// typed-field writer.
#pragma once

// Local code to the network code (EBCDIC), on a host whose local code is ASCII.
void ZEVP_ConvertBufferToNetwork(char* buffer, int length);
// Network code to the local code; on a host whose local code is the network code,
// ASCII to EBCDIC when asciiInput is non-zero.
void ZEVP_ConvertBufferToLocal(char* buffer, int length, int asciiInput);
