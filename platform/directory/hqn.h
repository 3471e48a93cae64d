// Directory service: lists the entries of one directory by name.
//
// A reader is opened on a directory path, hands out one entry name per call and
// is closed by its owner. "." and ".." are never handed out.
#pragma once

#include <cstdint>

// Wide enough for any file name (NAME_MAX characters), and its terminating zero.
constexpr int HQN_ENTRY_NAME_FIELD = 256;

struct HQN_Directory;

// Opens the directory at path for reading; mode must be 'R'. Returns 0 with the
// reader in *handle, or the errno value of the failure (EINVAL for a null
// argument or another mode) with *handle null.
int hqnqpopd(const char* path, char mode, HQN_Directory** handle);

// Writes the next entry's name into name (HQN_ENTRY_NAME_FIELD bytes): the name
// padded with blanks to HQN_ENTRY_NAME_FIELD - 1 characters and a terminating
// zero. Returns 0, or non-zero at the end of the directory (or on a read error,
// whose errno value is then in *status). status may be null.
int hqnqprdd(HQN_Directory* handle, char* name, int32_t* status);

// Closes the reader; 0, or the errno value of the failure. A null reader is 0.
int hqnqpcld(HQN_Directory* handle);
