// Record scrambler for the files stored scrambled: the product specification file,
// scrambled metafiles and the ODI and JPF definition files.
#pragma once

#include <cstdint>

// Scrambles the NUL-terminated record in place with the key and returns it.
char* ZEV0_EncipherRecord(char* record, int32_t key);

// Undoes ZEV0_EncipherRecord with the same key, in place, and returns the record.
char* ZEV0_DecipherMetaRecord(char* record, int32_t key);
