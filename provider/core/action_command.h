// An action that names a command: it runs through /bin/sh on the data provider's
// host, its standard output (unless the command redirects it itself) captured in
// the temporary file ./DPnnnnnn (the action ID) and made the action's result.
#pragma once

#include <cstdint>
#include <cstdio>

struct ActionEntry;

// ZEVP_ACTION_RESULT_SIZE (256 when unset), read once: at least 16, at most 4096.
int32_t ZEVP_ActionResultBufferSize();

// Runs the command line (ActionName, a blank, ActionParm) and waits for it:
// ActionStatus 0, the negated wait status of a command that failed, or 2 when the
// command interpreter could not be started. With captured output, ActionResult
// holds its lines joined by ';', and ResultLength their length.
void ZEVP_ExecuteActionCommand(ActionEntry* entry);

// Joins the non-empty lines of the output, carriage returns and line feeds taken
// out, with ';' into a new block of bufferSize + 1 bytes (zeroed): lines are read
// in pieces of at most bufferSize - 5 characters, and the first piece that would
// pass bufferSize - 4 characters ends the result with "..." instead. The block
// through *result (null without storage) and the text's length through *length.
void ZEVP_AssembleActionResult(FILE* output, int32_t bufferSize, char** result, int32_t* length);
