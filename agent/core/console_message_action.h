// The action Dorvane_Message as a console message of the management server, taken when
// the message-console switch (ZEVA_DMC_COMMAND) is on.
#pragma once

// Creates the console message that the action's parameters describe: CAT=category and
// SEV=severity (each up to the next blank) and MSG=text (the rest, where "" stands for
// one double quote and a lone double quote is dropped), in any order and case of the
// keywords. A missing value is traced and nothing is created.
void createConsoleMessageFromAction(const char* parms);
