// The record of one //ODBC statement of a metafile: its direction and data
// source name, kept in the anchor's OMB list and by its group.
#pragma once

#include "bsv1.h"

struct DPAB;

struct OMB {
  OMB* next;             // the anchor's OMB list, ombListLock
  char* DataSourceName;  // the text after the first '=' of the DSN= operand
  char Type;             // 'I' input or 'O' output
  BSV1_Lock Lock;
};

// A new block appended to the anchor's list, or null after validation message
// ZEVPV98E (no data source name) or ZEVPV97E (no type, or one that is neither I
// nor O). type is the statement's type word; operand its DSN= text; either may be null.
OMB* ZEVP_InitializeOMB(DPAB* anchor, const char* type, const char* operand);

// Unchains the block from the anchor's list and frees it; nothing when either is null.
void ZEVP_ReleaseOMB(DPAB* anchor, OMB* block);
