// A limit of the agent read from the environment.
#pragma once

// The variable's value when it is a positive decimal number, else the default (with a
// warning when the variable is set): a limit of 0 or less would refuse every table or
// registration, or size a buffer negatively.
int positiveLimitFromEnv(const char* name, int defaultValue);
