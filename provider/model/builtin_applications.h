// The data provider's own application DVAgent, defined without a metafile: group
// DPLOG, the data provider's log as rows (one per DP log message), and group
// ACTION, the short-term status of automation actions.
#pragma once

struct DPAB;

// Builds DVAgent, fills the fixed values of the DPLOG source (DP_Name, DP_Type,
// DP_Version), records on the anchor the DPLOG source and the attributes the DP
// log writer fills (DP_Time, DP_Log_Category, DP_Log_Text), and registers the
// application with the agent, then puts the DPLOG source online. The source's
// owning task is a process entry made here, which the anchor keeps
// (logReportEntry). 1 when defined and registered (or its registration is under
// way); 0 when it could not be built or was refused (ZEVPV86E), or when shut-down
// was requested while it waited for the registration (the application is then
// left to the release of the model).
int ZEVP_DefineDPlogReport(DPAB* anchor);
