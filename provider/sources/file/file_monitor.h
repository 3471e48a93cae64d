// The state that a file server keeps for its file for its whole life, and the
// steps of its life that work on it.
#pragma once

#include <cstdint>
#include <memory>

#include "file_identity.h"
#include "record_set_rule.h"
#include "sampling_frequency.h"

struct DPAB;
struct FileSpecControlBlock;
struct IOEntry;
struct ProcessEntry;
struct SourceEntry;
struct TableEntry;

namespace zevp {

struct FileMonitor {
  DPAB* anchor = nullptr;
  ProcessEntry* server = nullptr;
  SourceEntry* source = nullptr;
  TableEntry* table = nullptr;
  IOEntry* io = nullptr;
  FileSpecControlBlock* spec = nullptr;
  bool unregistered = false;  // a group whose name begins with '~' makes no DCH request
  bool allMatch = false;      // every file that matches the pattern, one after the other
  bool monitoring = false;    // a file was being monitored (for the end message)
  SamplingFrequency frequency;

  // TAIL by position: where the file ended at the last pass, and where the next
  // pass goes on (before a last line that was not ended yet, when one was left).
  int64_t previousEnd = 0;
  int64_t savedPosition = 0;
  // TAIL by record count.
  int32_t previousCount = 0;
  int32_t restart = 0;  // the next setup reads the file from its beginning

  std::unique_ptr<RecordSetCompareRule> rule;
  bool beginStringMode = false;
  FileIdentity identity;

  bool toldToEnd() const;
  const char* fileName() const;
};

// Waits for the file, puts the source online and settles where reading starts.
// False when monitoring cannot go on (the thread then ends).
bool SetUpFileMonitoring(FileMonitor& monitor);

enum class PassEnd { done, fileGone, ended };

// One pass over the file: what was appended (TAIL) or the whole file (COPY) into
// rows. fileGone: the file did not open; ended: the thread was told to end.
PassEnd RunFilePass(FileMonitor& monitor);

// Sends the row that the source's attributes hold, unless the group's summary
// holds it back; after a failed request, puts the source online again every 30
// seconds until it is (the row is not sent again). False when told to end.
bool SendFileRow(FileMonitor& monitor);

// Sleeps the seconds in one-second steps; false when told to end meanwhile.
bool SleepUnlessToldToEnd(const FileMonitor& monitor, int32_t seconds);

}  // namespace zevp
