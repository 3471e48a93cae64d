// The interface types whose networks discovery ignores, from the file ZEVSEXIF of
// the work directory (docs/excluded-interface-types.md), read once per process:
// lines of a type number 0 … 35 and a word, E… to exclude the type, anything else to
// include it. Without the file, types 23, 24 and 28 are excluded.
#pragma once

#include <array>
#include <cstdio>

// 1 when networks of interfaces of the type (RFC 1213 ifType) are to be ignored,
// else 0; 0 for a type outside 0 … 35 (traced).
int ZEVS_IsExcludeInterfaceType(int interfaceType);

namespace zevs {

constexpr int kInterfaceTypes = 36;
using ExcludedTypes = std::array<bool, kInterfaceTypes>;
constexpr size_t kExcludeFileLineMax = 255;

// The defaults: 23, 24 and 28 excluded.
ExcludedTypes DefaultExcludedTypes();
// Applies the lines of an open exclude file to the flags; comments, over-long lines,
// numbers outside 0 … 35 and lines without a word are passed over.
void ReadExcludedTypes(FILE* file, ExcludedTypes* excluded);

}  // namespace zevs
