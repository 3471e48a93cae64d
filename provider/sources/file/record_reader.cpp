#include "record_reader.h"

#include <cstring>
#include <string>

#include "table_entry.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// How the source's delimiter joins and counts values.
struct Delimiting {
  char counted = '\0';  // the character between values; '\0' none
  bool pair = false;    // a begin and an end character around each value
  char begin = '\0';
  char end = '\0';
};

Delimiting DelimitingOf(const char* delimiter) {
  Delimiting result;
  size_t length = delimiter != nullptr ? std::strlen(delimiter) : 0;
  if (length == 1) {
    result.counted = delimiter[0];
  } else if (length >= 2) {
    result.pair = true;
    result.begin = delimiter[0];
    result.end = delimiter[1];
    result.counted = result.end;
  }
  return result;
}

// The values of a line: runs of characters between delimiters.
int32_t CountValues(const char* text, char delimiter) {
  int32_t values = 0;
  bool inValue = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == delimiter) {
      inValue = false;
    } else if (!inValue) {
      if (*c == '\n') break;
      inValue = true;
      ++values;
    }
  }
  return values;
}

bool MatchesRule(const RecordSetCompareRule& rule, const char* text, size_t length, const char* kind) {
  if (TRC_ON(TRC_UNIT_DETAIL))
    TRC1_Printf(&trcUnit_, __LINE__, "Check %sRecordPattern %s %c %s length %d", kind, text,
                rule.Operator == ZEVP_RULE_EQUAL ? '=' : '!', rule.CompareText.c_str(),
                static_cast<int>(rule.CompareText.size()));
  return zevp::RecordSetRuleMatches(rule, text, length);
}

// The record being joined.
class RecordBuilder {
 public:
  RecordBuilder(char* record, int32_t length, const Delimiting& delimiting)
      : record_(record), capacity_(static_cast<size_t>(length)), delimiting_(delimiting) {
    std::memset(record_, 0, capacity_);
  }

  // Appends a line with the delimiters that join it; once the record is full the
  // line is dropped.
  void add(const char* text, size_t lineDropped) {
    ++lines_;
    if (full_) {
      TRC(TRC_ERROR, "***** File record discarded");
      return;
    }
    std::string piece;
    if (lines_ > 1) {
      char joint = delimiting_.pair ? delimiting_.end : delimiting_.counted;
      if (joint != '\0' && (used_ == 0 || record_[used_ - 1] != joint)) piece += joint;
    }
    if (delimiting_.pair && text[0] != delimiting_.begin) piece += delimiting_.begin;
    piece += text;
    size_t room = capacity_ - 1 - used_;
    if (lineDropped > 0 || piece.size() > room) {
      TRC(TRC_ERROR, "***** Total record size %d exceeded defined record size %d. Remaining file record discarded",
          static_cast<int>(used_ + piece.size() + lineDropped), static_cast<int>(capacity_));
      full_ = true;
    }
    size_t copied = std::min(piece.size(), room);
    std::memcpy(record_ + used_, piece.data(), copied);
    used_ += copied;
  }

  int32_t lines() const { return lines_; }

 private:
  char* record_;
  size_t capacity_;
  Delimiting delimiting_;
  size_t used_ = 0;
  int32_t lines_ = 0;  // lines taken, dropped ones included
  bool full_ = false;
};

// The next line into the read's buffer: the rule's pending line, or one read
// from the stream. False at the end of the file (or before a last line left for
// the next pass).
bool NextLine(MonitorFileRead& read, int32_t* linesOfRecord, size_t* lineDropped) {
  char* buffer = read.line.data();
  *lineDropped = 0;
  if (read.rule != nullptr && read.rule->HasPendingLine) {
    std::strncpy(buffer, read.rule->PendingLine.c_str(), read.line.size() - 1);
    buffer[read.line.size() - 1] = '\0';
    read.rule->HasPendingLine = false;
    ++*linesOfRecord;
    return true;
  }
  zevp::FileLine line;
  if (!read.stream->readLine(buffer, read.line.size(), &line)) return false;
  if (!line.ended && read.leaveUnendedLine) {
    read.stream->unreadLine();
    read.unendedLineLeft = true;
    TRC(TRC_DETAIL, "Last line of %d characters not ended yet: left for the next pass", static_cast<int>(line.length));
    return false;
  }
  ++read.recordCounter;
  ++*linesOfRecord;
  *lineDropped = line.dropped;
  return true;
}

}  // namespace

char* ReadMonitorFileRecord(MonitorFileRead& read, char* record, int32_t length) {
  RecordSetCompareRule* rule = read.rule;
  if (rule != nullptr && rule->EndOfFile) {
    TRC(TRC_UNIT_DETAIL, "File read bypassed. EOF already reached");
    return nullptr;
  }
  if (record == nullptr || length < 2) return nullptr;
  const TableEntry* table = read.table;
  Delimiting delimiting = DelimitingOf(read.delimiter);
  RecordBuilder builder(record, length, delimiting);
  read.line.resize(static_cast<size_t>(length));
  read.unendedLineLeft = false;
  const char* beginString = table->RecordSetDelimiter;
  size_t beginLength = beginString != nullptr ? static_cast<size_t>(table->RecordSetDelimiterLength) : 0;

  int32_t linesOfRecord = 0;
  int32_t values = 0;
  size_t lineDropped = 0;
  bool atEnd = !NextLine(read, &linesOfRecord, &lineDropped);
  while (!atEnd) {
    char* text = read.line.data();
    ZEV0_RemoveCRandLF(text, 'B');
    size_t textLength = std::strlen(text);
    bool ends = false;
    if (textLength == 0) {
      // An empty line belongs to no record.
    } else if (read.beginStringMode && beginLength > 0 && textLength >= beginLength &&
               std::memcmp(text, beginString, beginLength) == 0) {
      // A begin line ends the record before it and belongs to none.
      if (builder.lines() > 0) break;
    } else if (rule != nullptr && rule->Type == ZEVP_RULE_NEW && builder.lines() > 0 &&
               MatchesRule(*rule, text, textLength, "Begin")) {
      TRC(TRC_UNIT_DETAIL, "MatchFound %d ReadCount %d", 1, read.recordCounter);
      rule->PendingLine = text;
      rule->HasPendingLine = true;
      read.pendingLineStart = read.stream->lineStart();
      break;
    } else {
      builder.add(text, lineDropped);
      if (delimiting.counted != '\0') values += CountValues(text, delimiting.counted);
      if (rule != nullptr && rule->Type == ZEVP_RULE_END && builder.lines() > 1 &&
          MatchesRule(*rule, text, textLength, "End")) {
        ends = true;
      } else if (!read.beginStringMode) {
        bool valuesComplete = table->NoValueCountTest == 0 && delimiting.counted != '\0' &&
                              values >= table->AttributesDefined;
        ends = valuesComplete || linesOfRecord >= table->RecordSetCount;
      }
    }
    if (ends) break;
    atEnd = !NextLine(read, &linesOfRecord, &lineDropped);
  }
  if (atEnd && rule != nullptr) {
    rule->EndOfFile = 1;
    TRC(TRC_UNIT_DETAIL, "File EOF switch set");
  }
  read.resumePosition = rule != nullptr && rule->HasPendingLine ? read.pendingLineStart : read.stream->position();
  return builder.lines() > 0 ? record : nullptr;
}
