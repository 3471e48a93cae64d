// The agent's own action log (application DVAGENT, attribute group ACTION) copied to
// the framework's operations log: one "DVACTION" entry per row, and a second one for
// a row that carries a result text.
#pragma once

// The row of the action log as its table lays it out: the origin node, then
// Action_Type 16, Action_Owner 64, Action_Node 32, Action_Name 256, Action_Parms 1024,
// Action_Status 64 and Action_Result 256 bytes, then Action_ID, a 4-byte number.
constexpr int kActionLogRowSize = 32 + 16 + 64 + 32 + 256 + 1024 + 64 + 256 + 4;

// Writes the row's entries: "ID owner node STATUS=status name parms", each text
// taken up to its first blank and at most its width; then, when one of the first 32
// characters of the result is not blank, "ID result" with the result from there to the
// end of its field. A null row, or one shorter than the layout, writes nothing.
void processOptLog(const char* row, int rowSize);
