// Status numbers of the remote-agent framework stand-in. 0 is success everywhere.
#pragma once

constexpr int RAF_STATUS_OK = 0;
// A call failed (also the answer of a failure a test injected).
constexpr int RAF_STATUS_FAILED = 0x21060001;
// No storage (e.g. for a table manager).
constexpr int RAF_STATUS_NO_STORAGE = 0x21060002;
// A column number or name the request does not have, or no table description.
constexpr int RAF_STATUS_BAD_COLUMN = 0x21060007;
// A table manager for this application and table is registered already.
constexpr int RAF_STATUS_DUPLICATE_TABLE = 0x21060009;
// A manager without application or table name.
constexpr int RAF_STATUS_BAD_NAME = 0x2106000A;
// No command callback is registered for the command.
constexpr int RAF_STATUS_NO_CALLBACK = 0x2106000B;

// RAF_Subnode_Register, RAF_Subnode_Deregister and RAF_Subnode_Delete fail with 7.
constexpr int RAF_SUBNODE_FAILED = 7;
// RAF_Subnode_SendRequest fails with 1.
constexpr int RAF_SEND_FAILED = 1;
