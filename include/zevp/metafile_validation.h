// Validating a metafile without a running data provider: the console program's
// VALIDATE command.
#pragma once

// Parses the metafile in a data-provider environment of its own, registering
// nothing, shows the outcome as validation messages on standard output and
// writes the model report of a valid application beside the metafile. 0 when the
// application was built; -1 when it was not (ZEVPV88E), when no name was given
// (ZEVPV22E) or when the environment could not be started (ZEVPV21E).
int ZEVP_ValidateMetaFile(const char* metafileName);
