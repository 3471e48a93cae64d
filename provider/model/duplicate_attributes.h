// Attributes of one source that share a name: a later one of the same type goes
// (ZEVPV15W), a later one of another type is renamed with a number (ZEVPV16W).
#pragma once

struct ApplicationEntry;

// Resolves the duplicate attribute names of every source of every group. A
// renamed attribute gets 2 for the first such duplicate of its name, then 3, ...;
// a name that would grow past the longest attribute name has as many of its last
// characters replaced as the number has digits.
void ZEVP_CheckDuplicateAttributes(ApplicationEntry* application);
