// Values of the agent's environment variables, read the way the agent reads them.
#pragma once

// The number at the start of text as atoi reads it (leading blanks, a sign, digits;
// no digits: 0), held to the range of int instead of overflowing. outOfRange, when
// given, tells whether it had to be held.
int decimalAsAtoi(const char* text, bool* outOfRange = nullptr);

// A limit that sizes storage: unset (null) gives the default; a value below 1 or beyond
// the range of int gives the default with a warning, since it would refuse every table
// or size a buffer negatively.
int sizingLimit(const char* name, const char* text, int defaultValue);

// A switch: the first character of the value; unset or empty gives the default.
char switchValue(const char* text, char defaultValue);
