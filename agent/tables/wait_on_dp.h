// The data thread of one user table: a data consumer of the agent's own DCH server,
// parked for the rows of the table's application and attribute group.
//
// Started by the table's description (userDataInfo::startWaitOnDPthread) with the
// description as its argument, and stopped by the description's destructor, which
// cancels the thread's wait. Every way the thread ends goes through
// userDataInfo::dataThreadEnded before it withdraws its wait and frees what it holds.
#pragma once

class DCHclient;

// The thread body; the argument is the table's userDataInfo. Returns null.
void* waitOnDP(void* description);

// The wait for the next record: dc_waitOnData, unless a test has put one of its own in its
// place (to make a wait fail). Returns the wait it replaced.
using DataRecordWait = int (*)(DCHclient* handle, char* buffer, short bufferLength);
DataRecordWait setDataRecordWait(DataRecordWait wait);
