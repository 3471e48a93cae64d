// The setup of a file's monitoring, at the start and whenever the file has to be
// waited for again: the file is there and holds a record, the source is online,
// and where reading starts is settled.
#include <cstdio>
#include <string>
#include <vector>

#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "file_monitor.h"
#include "file_readiness.h"
#include "file_pattern_control_block.h"
#include "io_entry.h"
#include "monitor_file_stream.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace zevp {

namespace {

const char* TypeText(const TableEntry* table) {
  switch (table->DataType[0]) {
    case 'E':
      return "EVENT";
    case 'P':
      return "POLL";
    default:
      return "SAMPLE";
  }
}

std::string DelimiterText(const SourceEntry* source) {
  const char* delimiter = source->AttrDelimiter;
  if (delimiter == nullptr || delimiter[0] == '\0') return "NONE";
  if (delimiter[0] == ' ') return "Space";
  return delimiter;
}

void ReportStart(const FileMonitor& monitor) {
  bool event = monitor.table->DataType[0] == 'E';
  std::string frequency = std::to_string(monitor.frequency.frequency);
  ZEVP_SendDPlogMessage(monitor.anchor, 16, monitor.fileName(), TypeText(monitor.table), frequency.c_str(),
                        event ? "N/A" : (monitor.io->Mode == 'C' ? "COPY" : "TAIL"),
                        DelimiterText(monitor.source).c_str());
}

// Where the first pass starts: at the beginning after a wait for the file, else
// at its end (before a last line still being written, which is read once whole).
void SettleStartPosition(FileMonitor& monitor) {
  FILE* file = std::fopen(monitor.fileName(), "rbe");
  int32_t records = 0;
  int64_t end = 0;
  int64_t unendedStart = -1;
  if (file != nullptr) {
    MonitorFileStream stream(file);
    std::vector<char> line(static_cast<size_t>(std::max(monitor.io->RecordLength, 2)));
    FileLine read;
    while (stream.readLine(line.data(), line.size(), &read)) {
      if (!read.ended) {
        unendedStart = stream.lineStart();
        break;
      }
      ZEV0_RemoveCRandLF(line.data(), 'B');
      if (line[0] != '\0') ++records;
    }
    end = stream.endPosition();
    std::fclose(file);
  }
  if (monitor.restart) {
    monitor.previousEnd = monitor.savedPosition = 0;
    monitor.previousCount = 0;
  } else {
    monitor.previousEnd = end;
    monitor.savedPosition = unendedStart >= 0 ? unendedStart : end;
    monitor.previousCount = records;
  }
  TRC(TRC_DETAIL, "Initial file record count %d", records);
}

void SettleRecordSets(FileMonitor& monitor) {
  monitor.rule.reset();
  monitor.beginStringMode = monitor.table->RecordSetDelimiter != nullptr && monitor.table->RecordSetDelimiterLength > 0;
  if (!monitor.beginStringMode && monitor.table->RecordSetText != nullptr)
    monitor.rule = ZEVP_FormatRecordSetRule(monitor.table->RecordSetText);
}

}  // namespace

bool SetUpFileMonitoring(FileMonitor& monitor) {
  if (!ZEVP_WaitFileReadyForMonitor(monitor.io, &monitor.restart)) {
    TRC(TRC_ERROR, "*** File %s initial monitoring setup failed", monitor.fileName());
    return false;
  }
  if (monitor.anchor->batchMode != 0) monitor.io->Mode = 'C';
  monitor.identity = ReadFileIdentity(monitor.fileName(), monitor.io->RecordLength);
  monitor.spec->IdentityCheckSum = monitor.identity.checkSum;
  monitor.monitoring = true;
  ReportStart(monitor);
  // Where reading starts is settled before the source goes online: lines appended
  // while it waits for the agent are read by its first pass.
  SettleStartPosition(monitor);
  if (!monitor.unregistered) {
    Routines().updateSourceEntryState(monitor.source, ZEVP_Ready);
    Routines().queueAndWaitDCHstatus(monitor.anchor, monitor.server, monitor.source);
    if (monitor.toldToEnd()) return false;
    if (ZEVP_SourceStateOf(monitor.source) != ZEVP_Active) {
      TRC(TRC_ERROR, "*** dp_online failed for %s", monitor.fileName());
      return false;
    }
  }
  Routines().updateSourceEntryState(monitor.source, ZEVP_Input);
  if (monitor.table->RoutingBlock != nullptr)
    Routines().dispatchInternalOutput(monitor.anchor, monitor.source, monitor.table->RoutingBlock, nullptr, 0);
  SettleRecordSets(monitor);
  return true;
}

}  // namespace zevp
