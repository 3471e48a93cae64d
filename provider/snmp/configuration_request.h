// Data-provider configuration requests (DP_CONFIG actions): managed servers of a
// sibling product (RQADD, RQREMOVE), nodes of a managed node list (MNLADD,
// MNLREMOVE) and monitored URLs (TKADD, TKREMOVE, URLADD, URLREMOVE), each
// checked against the product that runs it. docs/configuration-requests.md.
#pragma once

struct ActionEntry;
struct DPAB;

// Status 0 and no result text when the request was carried out; -1 with a text
// of at most 255 characters otherwise. Changes made before a failure stay.
void ZEVP_ScheduleDPconfigurationRequest(DPAB* anchor, ActionEntry* entry);
