// The agent's limits, read once from the environment, and its action numbers.
#pragma once

// The most attributes (columns) one table may have: WJD_MAXCOLS, default 64.
int Max_IB_Columns();

// The size in bytes of the buffer in which the DCH server builds one row of
// current values for a wait-on-data consumer: ZEVA_VALUES_BUF_SIZE, default 8192.
int Max_Values_Buf_Size();

// The next number of the process-wide action sequence (the first action is 1).
int ActionID();
