// The fixed tables that the agent serves beside the user tables: the remote-file table
// Q7SRV.RMTFILE (the definition files of the user applications, q7srv_rmtfile.h) and the
// action table ZEV.ZEVACT (alerts turned into actions, zev_zevact.h). The agent loader
// starts them when the framework is ready for table managers.
#pragma once

// Registers the table's manager: RegisterWithManager's status, or RAF_STATUS_NO_STORAGE.
int q7srv_rmtfile_init();
int zev_zevact_init();
