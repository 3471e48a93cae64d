// Finding the sources that an action aims at by its source node name: the
// source's node name, ':', the application name, the group name and two more
// characters (the release), the names in upper case as the agent gives them.
//
// Only sources that are online (Active, Input or Output) are found. A node part
// equal to a source's node name matches; a shorter one matches the node name's
// last characters, or its first ones when the node name's first '.' comes no
// later than just after them (a short host name against a qualified one).
#pragma once

#include <vector>

struct DPAB;
struct SourceEntry;

// The first online source, in the first application whose upper-cased name
// begins the text after ':', of a group whose upper-cased name begins with the
// rest less its last two characters, whose node name matches the node part; null
// for none and for a name without ':', an empty node part or an empty group part.
SourceEntry* ZEVP_LocateSourceBySubNode(DPAB* anchor, const char* nodeName);

// Every online source whose node name matches, in every group of the first
// application (as above) that has one, in model order; empty for none. The list
// is the caller's own: look-ups on other threads do not touch it.
std::vector<SourceEntry*> ZEVP_LocatePolicySourceBySubNode(DPAB* anchor, const char* nodeName);
