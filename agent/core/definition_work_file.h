// The definition work file of an application: what its previous build recorded, so
// that the next build can tell what changed. Text lines (docs/definition-work-file.md):
//   "vv.rr.mm GROUP CHECKSUM <TEXT>"   one per attribute group, in registration order
//   "@HELP CHECKSUM <HELP TEXT>"       last
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "checksum_info.h"

struct recordedDefinition {
  static constexpr size_t kMaxVersion = 8;

  // The group lines, at most as many as the reader was given room for.
  std::vector<checksumInfo> groups;
  // Group lines beyond those: groups no current registration can still hold.
  int groupsBeyond = 0;
  // The version of the last group line; empty when there was none.
  char version[kMaxVersion + 1] = {};
  bool helpLine = false;
  uint16_t helpChecksum = 0;
};

// Reads an open work file up to its help line; lines are taken whole, however long.
// 0, or 1 when a line lacks a field or a field does not fit (traced with fileName).
int readDefinitionWorkFile(std::FILE* file, const char* fileName, int maxGroups, recordedDefinition* recorded);

// Writes the work file anew: a line per group with the version, then the help line.
// 0, or 1 when it cannot be opened or written (traced).
int writeDefinitionWorkFile(const char* fileName, const char* version, const checksumInfo* groups, int groupCount,
                            const std::string& helpInfo);
