// Edits of a list input file that follow the node array: a node added (or made
// active again) and a node excluded. A node is found as a whole word of a node
// line, its leading "-" and trailing "[port]" aside; every other line is copied
// whole. Edits run one at a time (the list chain's lock) and replace the file
// only once the new one is written.
#pragma once

// Removes the "-" of the node's word, or appends the node as a line of its own
// when no line names it.
void ZEVP_AddManagedNodeListFile(const char* inputFileName, const char* nodeName);
// Puts a "-" before the node's word; nothing when no line names it.
void ZEVP_RemoveManagedNodeListFile(const char* inputFileName, const char* nodeName);
