// Product affinity: the validation of an affinity an agent reports, the product's
// display name and the text of the features it encodes (the tables are the utility
// library's, zev0/affinity_table.h).
#pragma once

#include <cstddef>

constexpr int ZEVS_AFFINITY_LENGTH = 43;
// Room of a feature text, its NUL included.
constexpr int ZEVS_FEATURE_TEXT_CAPACITY = 256;

// 43 '0': not an affinity.
extern const char ZeroAffinity[ZEVS_AFFINITY_LENGTH + 1];
// 32 'F' then 11 '0': no affinity.
extern const char NoneAffinity[ZEVS_AFFINITY_LENGTH + 1];

// A new copy (ZEV0_GetStorage; the caller frees it) of the first 43 characters of a
// text of at least 43 that begins with a digit and is not ZeroAffinity; otherwise,
// traced, a new copy of NoneAffinity.
char* ZEVS_CheckValidAffinity(const char* text);

// The display text of the product whose code matches the affinity in its first 32
// characters (the table's text: not to be freed), or "Unknown Product".
const char* ZEVS_LocateProductNameFromAffinity(const char* affinity);

// Builds the known features (each feature row of the table with a display text: its
// nine feature characters and its text without leading '_'); again on each call.
void ZEVS_InitializePlovenFeatureArray();

// When a known feature has the nine-character key, writes "<text>, " at out if it fits
// in room bytes with its NUL, and returns the characters written; else 0.
int FormFeatureTextOutput(char* out, size_t room, const char* key);

// A new text (capacity ZEVS_FEATURE_TEXT_CAPACITY; the caller frees it) naming the
// affinity's features, last group first, each followed by ", "; "No feature reported"
// when every feature character is '0'; " " when none is known (or the affinity is not
// 43 characters). Texts that would pass the capacity are left out, with all after them.
char* ZEVS_ConstructProductFeatureString(const char* affinity);
