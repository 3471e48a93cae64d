// Environment look-ups with a process-local list of variables set at run time.
#pragma once

// The variable's value: from the process environment first, else from the local
// list that ZEV0_PutEnv fills, else defaultValue (which may be null). The result
// must not be freed, nor kept across a later ZEV0_PutEnv of the same name, which
// overwrites the value in place.
const char* ZEV0_GetEnv(const char* name, const char* defaultValue);

// Sets NAME=value in the local list (the name is upper-cased; name and value at
// most 255 characters each). The process environment is not touched and still wins.
void ZEV0_PutEnv(const char* text);
