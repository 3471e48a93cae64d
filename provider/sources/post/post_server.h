// The POST data provider: other programs post short messages over TCP or UDP on one
// port; each becomes a row of the built-in group (by default MAS/dpPost) sent to
// the agent, and a TCP sender gets an acknowledgement stamp back
// (docs/post-input.md). One thread serves every sender.
#pragma once

struct ApplicationEntry;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// The thread routine (ZEVP_CreateProcess): defines and registers the application,
// waits until the agent has it online, serves posts until the thread is told to
// end, then takes the source offline. A registration the agent refuses ends the
// data provider (ZEVPV87E).
void ZEVP_PostServer(ProcessEntry* entry);

// The application of the metafile "ZEVPOST" when there is one, else the built-in
// one (ZEVP_POST_APPL_NAME, ZEVP_POST_GROUP_NAME, ZEVP_POST_APPL_TTL); its first
// group's first source, renamed after the data provider, takes the posts. Null
// when neither could be made.
ApplicationEntry* ZEVP_DefineDPpostApplication(DPAB* anchor);

// Serves posts on ZEVP_POST_DP_PORT (UDP and TCP) until the entry's termination
// flag is set; returns at once when no socket could be opened.
void ZEVP_PostListenService(DPAB* anchor, ProcessEntry* entry, ApplicationEntry* application);

// Turns one message (length bytes, no zero byte needed after them) from the
// partner recorded in the source's I/O entry into the row, has it sent, and
// returns the acknowledgement stamp (a process-wide buffer, 26 characters).
const char* ZEVP_LoadPostAttributeData(DPAB* anchor, SourceEntry* source, const char* data, int length);
