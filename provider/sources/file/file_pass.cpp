// One pass over a monitored file: in TAIL mode what was appended since the last
// pass, in COPY mode the whole file as one sample set; each record a row.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dp_anchor.h"
#include "dp_log.h"
#include "file_monitor.h"
#include "file_server.h"
#include "file_pattern_control_block.h"
#include "io_buffer.h"
#include "io_entry.h"
#include "monitor_file_stream.h"
#include "record_paths.h"
#include "record_reader.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace zevp {

namespace {

// Control values of the rows of a COPY pass.
constexpr int16_t kFirstOfSet = 1;
constexpr int16_t kInSet = 0;
constexpr int16_t kLastOfSet = 16;
constexpr int16_t kSingleRow = 17;

const char* StateName(int32_t state) {
  return state >= 0 && state < ZEVP_BUFFER_STATE_COUNT ? BufferStateString[state] : "?";
}

void ReleaseBuffer(IObuffer* buffer) {
  if (buffer == nullptr || buffer->State == ZEVP_NotInUse) return;
  TRC(TRC_UNIT_DETAIL, "Buffer state changed from %s to NotInUse", StateName(buffer->State));
  buffer->State = ZEVP_NotInUse;
  buffer->DataLength = 0;
  TRC(TRC_UNIT_DETAIL, "Buffer @%p released", static_cast<void*>(buffer));
}

// The lines of a file by the count of TAILBYRECORD: those that are not empty once
// their line end is cut (as records are read), and whether a last line has no line
// end yet.
struct LineCount {
  int32_t records = 0;
  bool unended = false;
};

LineCount CountLines(MonitorFileStream& stream, std::vector<char>& line) {
  LineCount count;
  FileLine read;
  while (stream.readLine(line.data(), line.size(), &read)) {
    if (!read.ended) {
      count.unended = true;
      break;
    }
    ZEV0_RemoveCRandLF(line.data(), 'B');
    if (line[0] != '\0') ++count.records;
  }
  return count;
}

// Reads on until `records` counted lines have gone by.
void SkipLines(MonitorFileStream& stream, std::vector<char>& line, int32_t records) {
  FileLine read;
  for (int32_t skipped = 0; skipped < records && stream.readLine(line.data(), line.size(), &read);) {
    ZEV0_RemoveCRandLF(line.data(), 'B');
    if (line[0] != '\0') ++skipped;
  }
}

class FilePass {
 public:
  FilePass(FileMonitor& monitor, FILE* file)
      : m_(monitor), stream_(file), line_(static_cast<size_t>(std::max(monitor.io->RecordLength, 2))),
        copy_(monitor.io->Mode == 'C') {}

  PassEnd run() {
    int64_t end = stream_.endPosition();
    if (copy_) {
      startCopy(end);
    } else if (m_.io->TailByRecord) {
      if (!startTailByRecord(end)) return PassEnd::done;
    } else if (!startTailByPosition(end)) {
      return PassEnd::done;
    }
    return readRecords(end);
  }

 private:
  // COPY: the set's first row is 1, its last 16; a file of one record gives 17.
  void startCopy(int64_t end) {
    // The probe reads with a rule of its own, so that the pass's starts afresh.
    std::unique_ptr<RecordSetCompareRule> probeRule =
        m_.rule != nullptr ? ZEVP_FormatRecordSetRule(m_.table->RecordSetText) : nullptr;
    MonitorFileRead probe = newRead(probeRule.get());
    std::vector<char> record(line_.size());
    int records = 0;
    while (records < 2 && ReadMonitorFileRecord(probe, record.data(), static_cast<int32_t>(record.size())) != nullptr)
      if (record[0] != '\0') ++records;
    multiRecord_ = records >= 2;
    stream_.seek(0);
    TRC(TRC_UNIT_DETAIL, "Copy pass up to position %lld", static_cast<long long>(end));
  }

  // TAILBYRECORD: the lines counted since the last pass are new.
  bool startTailByRecord(int64_t end) {
    LineCount count = CountLines(stream_, line_);
    bool takeUnended = count.unended && end == m_.previousEnd;
    int32_t current = count.records + (takeUnended ? 1 : 0);
    TRC(TRC_DETAIL, "Current file record count %d", current);
    m_.previousEnd = end;
    if (current == m_.previousCount) {
      TRC(TRC_DETAIL, ">>> Tail mode same record count. No new data");
      return false;
    }
    takeUnended_ = takeUnended;
    stream_.seek(0);
    if (current < m_.previousCount) {
      restart(current);
    } else {
      SkipLines(stream_, line_, m_.previousCount);
      TRC(TRC_DETAIL, "File positioned to record %d of %d", m_.previousCount, current);
    }
    toProcess_ = current - m_.previousCount;
    m_.previousCount = current;
    return true;
  }

  // TAIL: what lies between the last pass's end and this one's is new.
  bool startTailByPosition(int64_t end) {
    switch (CompareFilePosition(end, m_.previousEnd)) {
      case 0:
        if (m_.savedPosition >= m_.previousEnd) {
          TRC(TRC_UNIT_DETAIL, ">>> Tail mode same file EOF position. No new data");
          return false;
        }
        // The last line has not grown since it was left: it is taken as it is.
        takeUnended_ = true;
        stream_.seek(m_.savedPosition);
        return true;
      case -1:
        restart(0);
        return true;
      default:
        m_.previousEnd = end;
        stream_.seek(m_.savedPosition);
        return true;
    }
  }

  // The file is shorter than before: re-created or copied over. It is read from
  // its beginning, and is the file whose identity later passes compare with.
  void restart(int32_t currentCount) {
    TRC(TRC_DETAIL, ">>>>>>Tail mode record less than previous<<<<< PrevRecCount: %d CurrRecCount: %d",
        m_.previousCount, currentCount);
    TRC(TRC_DETAIL, ">>>>>>File re-created or copied. Restart monitor from beginning<<<<<<");
    m_.restart = 1;
    stream_.seek(0);
    m_.previousEnd = m_.savedPosition = 0;
    ZEVP_SendDPlogMessage(m_.anchor, 75, m_.fileName());
    m_.previousCount = 0;
    m_.identity = ReadFileIdentity(m_.fileName(), m_.io->RecordLength);
    m_.spec->IdentityCheckSum = m_.identity.checkSum;
  }

  MonitorFileRead newRead(RecordSetCompareRule* rule) {
    MonitorFileRead read;
    read.stream = &stream_;
    read.table = m_.table;
    read.delimiter = m_.source->AttrDelimiter;
    read.beginStringMode = m_.beginStringMode;
    read.rule = rule;
    read.resumePosition = stream_.position();
    return read;
  }

  PassEnd readRecords(int64_t end) {
    MonitorFileRead read = newRead(m_.rule.get());
    read.leaveUnendedLine = !copy_ && !takeUnended_;
    if (read.rule != nullptr) {
      read.rule->EndOfFile = 0;
      read.rule->HasPendingLine = false;
    }
    PassEnd result = PassEnd::done;
    int32_t processed = 0;
    int16_t lastControl = kSingleRow;
    IObuffer* buffer = nullptr;
    for (;;) {
      // A COPY pass reads the file as it was when the pass began.
      if (copy_ && read.resumePosition >= end) break;
      buffer = ZEVP_GetNextFreeBuffer(m_.io);
      if (buffer == nullptr) {
        TRC(TRC_ERROR, "*** no buffer available for input");
        break;
      }
      int32_t length = std::min(m_.io->RecordLength, buffer->Capacity);
      if (ReadMonitorFileRecord(read, buffer->Data(), length) == nullptr) break;
      buffer->DataLength = static_cast<int32_t>(std::strlen(buffer->Data()));
      if (buffer->DataLength == 0) {
        ReleaseBuffer(buffer);
        continue;
      }
      ++processed;
      buffer->State = ZEVP_ValidData;
      if (copy_) {
        lastControl = !multiRecord_ ? kSingleRow
                      : processed == 1 ? kFirstOfSet
                      : read.resumePosition >= end ? kLastOfSet
                                                   : kInSet;
        m_.source->DataSequence = lastControl;
      }
      TRC(TRC_UNIT_DETAIL, "Mode %c RecCount %d Control %04X", m_.io->Mode, processed,
          static_cast<unsigned>(static_cast<uint16_t>(m_.source->DataSequence)));
      if (!moveAndSend(buffer)) {
        result = PassEnd::ended;
        break;
      }
      if (m_.io->TailByRecord && !copy_) {
        TRC(TRC_UNIT_DETAIL, "RecProcessed %d RecToProcess %d", processed, toProcess_);
        if (processed >= toProcess_) break;
      }
      if (m_.toldToEnd()) {
        result = PassEnd::ended;
        break;
      }
    }
    ReleaseBuffer(buffer);
    m_.savedPosition = read.resumePosition;
    // A line left for its writer is taken as it is once the file has not grown since.
    if (read.unendedLineLeft) m_.previousEnd = stream_.endPosition();
    if (result == PassEnd::done && copy_ && processed > 0 && !m_.unregistered) result = closeCopySet(lastControl);
    return result;
  }

  // The row into the attributes, and to the agent when its summary allows.
  bool moveAndSend(IObuffer* buffer) {
    if (ZEVP_MoveDataFromBufferToAttr(m_.anchor, m_.io, buffer) == 0) return true;
    return SendFileRow(m_);
  }

  // A set whose last row did not go out as 16 is closed by an empty row of 16.
  PassEnd closeCopySet(int16_t lastControl) {
    if (lastControl != kLastOfSet) {
      IObuffer* buffer = ZEVP_GetNextFreeBuffer(m_.io);
      if (buffer != nullptr) {
        buffer->DataLength = 0;
        buffer->State = ZEVP_ValidData;
        m_.source->DataSequence = kLastOfSet;
        bool going = moveAndSend(buffer);
        ReleaseBuffer(buffer);
        if (!going) return PassEnd::ended;
      }
    }
    if (m_.io->CopyClear) clearCopiedFile();
    return PassEnd::done;
  }

  void clearCopiedFile() {
    FILE* cleared = std::fopen(m_.fileName(), "we");
    if (cleared != nullptr) {
      std::fclose(cleared);
      return;
    }
    TRC(TRC_ERROR, "*** unable to clear copied file, reset option. errno %d", errno);
    m_.io->CopyClear = 0;
    ZEVP_SendDPlogMessage(m_.anchor, 58, m_.fileName());
  }

  FileMonitor& m_;
  MonitorFileStream stream_;
  std::vector<char> line_;
  bool copy_;
  bool multiRecord_ = false;
  bool takeUnended_ = false;
  int32_t toProcess_ = 0;
};

}  // namespace

PassEnd RunFilePass(FileMonitor& monitor) {
  BSV1_GetLock(&monitor.io->Lock);
  FILE* file = std::fopen(monitor.fileName(), "rbe");
  if (file == nullptr) {
    BSV1_ReleaseLock(&monitor.io->Lock);
    // A COPY CLEAR file that is not there yet is simply waited for.
    return monitor.io->Mode == 'C' && monitor.io->CopyClear ? PassEnd::done : PassEnd::fileGone;
  }
  PassEnd result = FilePass(monitor, file).run();
  std::fclose(file);
  BSV1_ReleaseLock(&monitor.io->Lock);
  return result;
}

}  // namespace zevp

int CompareFilePosition(int64_t a, int64_t b) { return a == b ? 0 : (a > b ? 1 : -1); }
