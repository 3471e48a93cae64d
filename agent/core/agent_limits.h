// The agent's limits and switches, read once from the environment, and its action
// numbers.
//
// Start-up reads the variables (readAgentEnvironment, before the product specification)
// and fills the limits (fillAgentLimits, after it), tracing each value. A program that
// runs parts of the agent without its start-up (the DCH server's host) gets the same
// values: the first getter fills the limits itself.
#pragma once

// Fetches every variable of the agent once, in a fixed order; later calls do nothing.
void readAgentEnvironment();
// Fills the limits from what readAgentEnvironment fetched (fetching it first when
// needed) and traces them; later calls do nothing. The default of the attribute groups
// per application asks the product specification, so start-up calls this after
// initialising it.
void fillAgentLimits();

// Rows kept per event table and source: ZEVA_MAX_EVENT_ENTRIES, default 100.
int Max_Event_Entries();
// Applications that get a probe: ZEVA_MAX_APPLICATIONS, default 64.
int Max_Applications();
// Tables of one application: ZEVA_MAX_ATTRGROUPS_PER_APPL, default 256 when item 0
// of the product file (ZEVPSF) holds a value, else 64; a value below 1 gives the default.
int Max_AttrGroup_Per_Appl();
// Ten-second waits for an application's definition: ZEVA_WAIT_UDL, default 5.
int Max_Wait_UDL();
// The size in bytes of the buffer in which the DCH server builds one row of
// current values for a wait-on-data consumer: ZEVA_VALUES_BUF_SIZE, default 8192;
// a value below 1 gives the default.
int Max_Values_Buf_Size();
// Deferred requests per source: ZEVA_MAX_DEFERRED_REQUEST, default 512; a value below
// 1 gives the default.
int Max_Deferred_Request();
// Row-list clean-up trigger: ZEVA_CLEANUP_TRIGGER, default 10.
int cleanUpTrigger();
// The most attributes (columns) one table may have: WJD_MAXCOLS, default 64; a value
// below 1 gives the default.
int Max_IB_Columns();
// Duplicate rows are emitted unless ZEVA_EMIT_DUP_REC is 0: default 1.
int Emit_Dup_Rec();

// Switches: the first character of the variable; users compare with 'Y'.
// ZEVA_GENERATE_ODI, default 'Y'.
char generateODI();
// ZEVA_GENERATE_SQL, default 'N'.
char generateSQL();
// ZEVA_WRITE_OPTLOG (action-log rows to the operations log), default 'Y'.
char writeOptLog();
// ZEVA_DMC_COMMAND (Dorvane_Message actions to the message console), default 'N'.
char dmcCommand();
// The action table's name, at most 10 characters: ZEVA_ACTION_TABLE_NAME, default
// "DVA6034300".
const char* ACTIONtableName();

// Read by start-up, kept for it: the value of ZEVA_STARTUP_DP, ZEVA_CLIENT_PROCESS and
// ZEVA_ATOMIC_SITUATIONS, or null when the variable is not set.
const char* startupDataProviders();
const char* clientProcess();
const char* atomicSituationsSetting();

// The next number of the process-wide action sequence (the first action is 1).
int ActionID();
