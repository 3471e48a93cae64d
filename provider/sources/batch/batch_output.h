// The batch output file: in batch mode no row goes to the agent; each becomes one
// comma-separated text record in its application's batch output file, opened at
// the application's first record (docs/batch-output-file.md).
#pragma once

struct ApplicationEntry;
struct SourceEntry;

// Writes the source's current values as one record of its application's file and
// uses the values up (all but an SNMP application's Agent_Name). Nothing for a
// source of no application or without attributes. Rows other than summary rows are
// left out while ZEVP_BATCH_SUMMARY_OUTPUT_ONLY is Y (read once). A file that
// cannot be opened is reported in the batch log and tried again at the next record.
void ZEVP_OutputBatchDataRecord(SourceEntry* source);

// Closes the application's file and reports in the batch log how many records it
// took.
void ZEVP_CloseBatchOutputFile(ApplicationEntry* application);
