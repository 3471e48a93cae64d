// Plain functions of the channel library that the agent program and the
// library's own classes share: subnode names, the attribute-group checksum,
// mutex wrappers, help-text clean-up, the transport choice, the environment
// lock, starting a data-provider program, and the verbosity switch.
#pragma once

#include <pthread.h>

// Builds "source:applRR" (source cut at its end so that the name fits 32 characters) into
// subnodeName (room for 33) and, when subnodeNameUntouched is not null, "source:applGroupRR"
// into it (room for 70). 0 when built; 1 when a name is null or longer than the channel
// allows (RR at most 2 characters) or the untouched name would be too long; nothing is
// written then.
int ZEVA_SetSubnodeName(const char* applName, const char* attrGroup, const char* sourceName, const char* RR,
                        char* subnodeName, char* subnodeNameUntouched);

// The source name part of a subnode name (at most 70 characters), in a static buffer that
// the next call from any thread overwrites; null on error.
char* ZEVA_GetSrcNameFromSubNodeName(const char* subnodeName);

// Writes the application key (the first three characters after the ':') and a NUL to
// applKey (room for 4). 0 on success, 1 on error (also for a name over 32 characters).
int ZEVA_GetApplKeyFromSubNodeName(const char* subnodeName, char* applKey);

// The decimal text of the 16-bit checksum of the group's definition text, in a buffer of
// the calling thread that its next call overwrites.
char* ZEVA_ComputeChecksumOnAttrGroup(const char* groupText);

// Lock and unlock; 0 on success, the failing call's error number otherwise. tag (usually
// the calling object) only appears in the error trace.
int ZEVA_GetLock(pthread_mutex_t* mutex, const void* tag);
int ZEVA_ReleaseLock(pthread_mutex_t* mutex, const void* tag);

// Turns every ',', ':', ';', '\'' and '"' of the text into a blank, in place.
void ZEVA_validateHelpText(char* text);

// The DCH transport from ZEVA_DCH_IPCTYPE: 1 sockets (the default), 2 local procedure call.
int ZEVA_GetIPCtype();

// The lock held while the transport reads the DCH environment for the process.
pthread_mutex_t* ZEVA_GetEnvVarsInitLock();

// Starts the program (at most 253 characters) from the current directory, else from PATH,
// as a child process that the caller does not wait for. The child's process id, or -1.
// A child whose program cannot be run ends with exit status 127.
int ZEVA_StartDPprocess(const char* program);

// The channel library's verbosity from ZEVA_VERBOSE, read once per process:
// 1 for 'Y', 2 for 'D' (first character, upper case only), 0 otherwise.
int DV_Debug();
// Reads ZEVA_VERBOSE (once) and returns its first character, 'N' when it is unset.
char DV_Debug_Initialize();
