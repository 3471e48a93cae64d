// Rows pushed to a table's event requests, as the managers of the user tables and of the
// fixed tables push them.
#pragma once

class TableManager;

// Under the manager's lock, each event request (sample type event) is pinned, offered the
// rows with AddData (count in the table's own meaning), dispatched and cleared. Only event
// requests take pushed rows: a sampled request gets its rows at its samples, and a push
// would clear the rows of a sample that the framework has yet to collect. The last non-zero
// dispatch status, else 0.
int PushToEventRequests(TableManager* manager, void* rows, int count);
