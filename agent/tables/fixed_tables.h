// The fixed tables that the agent serves beside the user tables: the remote-file table
// Q7SRV.RMTFILE (the definition files of the user applications) and the action table
// ZEV.ZEVACT (alerts turned into actions). The agent loader starts them when the
// framework is ready for table managers.
//
// Not served in this build: each start registers nothing and reports success.
#pragma once

// 0 when the table's manager is registered (or there is none to register).
int q7srv_rmtfile_init();
int zev_zevact_init();
