// Limits of the application model: sizes of names, texts, values and rows, and
// the number of attributes a group may hold.
#pragma once

#include <cstdint>

constexpr int ZEVP_APPL_NAME_MAX = 20;
constexpr int ZEVP_APPL_NAME_MIN = 3;
constexpr int ZEVP_GROUP_NAME_MAX = 32;
constexpr int ZEVP_ATTR_NAME_MAX = 218;
constexpr int ZEVP_HELP_TEXT_MAX = 245;
// One help text and its terminating zero in a group's help buffer.
constexpr int ZEVP_HELP_ENTRY_SIZE = ZEVP_HELP_TEXT_MAX + 1;
constexpr int ZEVP_ATTR_VALUE_MAX = 3800;
constexpr int ZEVP_ROW_SIZE_MAX = 4000;
constexpr int ZEVP_DEFAULT_ATTRS_PER_GROUP = 63;
constexpr int ZEVP_MAX_ATTRS_PER_GROUP = 127;
constexpr int ZEVP_FILTER_TERMS_MAX = 3;
// Time to live of P, S and K groups that give none.
constexpr int32_t ZEVP_DEFAULT_TTL = 300;
// The largest value of a numeric attribute (G, C, A, L).
constexpr int32_t ZEVP_NUMERIC_MAX = 2147483647;
// The previous value of a rate attribute before its first sample.
constexpr double ZEVP_FIRST_SAMPLE_MARKER = -4294967296.0;
