// The transport letter of ZEVP_DP_TRANSPORT, which both the DCH link and the
// console program go by.
#pragma once

// The transport letter of a ZEVP_DP_TRANSPORT value: its first character upper-cased
// when that is 'I' or 'R', else 'I' (also for a missing or empty value).
char ZEVP_ValidateTransportType(const char* value);
