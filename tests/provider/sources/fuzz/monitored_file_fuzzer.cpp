// libFuzzer harness of reading a monitored file: each input is a file's content
// after a first line that sets up its group (a byte of switches, then a
// //RECORDSET rule text or begin string). Every record is read as a pass reads it,
// into a buffer of the group's size; none may crash, hang or read past a buffer.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "record_reader.h"
#include "table_entry.h"

namespace {

// The first byte: delimiter (2 bits), line count (3 bits), value count test off,
// begin string instead of a rule, last line left when not ended.
struct Switches {
  explicit Switches(unsigned char byte)
      : delimiter(byte & 0x03), lineCount(((byte >> 2) & 0x07) + 1), noValueCount((byte & 0x20) != 0),
        beginString((byte & 0x40) != 0), leaveUnended((byte & 0x80) != 0) {}
  int delimiter;
  int32_t lineCount;
  bool noValueCount;
  bool beginString;
  bool leaveUnended;
};

const char* const kDelimiters[] = {nullptr, " ", ";", "[]"};
constexpr int32_t kRecordLength = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Switches switches(data[0]);
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t lineEnd = rest.find('\n');
  std::string setup = rest.substr(0, lineEnd);
  std::string content = lineEnd == std::string::npos ? std::string() : rest.substr(lineEnd + 1);

  TableEntry table;
  std::memset(&table, 0, sizeof table);
  table.AttributesDefined = 3;
  table.RecordSetCount = switches.lineCount;
  table.NoValueCountTest = switches.noValueCount ? 1 : 0;
  std::unique_ptr<RecordSetCompareRule> rule;
  if (switches.beginString) {
    table.RecordSetDelimiter = setup.data();
    table.RecordSetDelimiterLength = static_cast<int32_t>(setup.size());
  } else if (!setup.empty()) {
    rule = ZEVP_FormatRecordSetRule(setup.c_str());
  }

  FILE* file = fmemopen(content.empty() ? nullptr : content.data(), content.size(), "rb");
  if (file == nullptr) return 0;
  zevp::MonitorFileStream stream(file);
  MonitorFileRead read;
  read.stream = &stream;
  read.table = &table;
  read.delimiter = kDelimiters[switches.delimiter];
  read.beginStringMode = switches.beginString && !setup.empty();
  read.rule = rule.get();
  read.leaveUnendedLine = switches.leaveUnended;
  // The record's own allocation, so that a write past it is seen.
  std::vector<char> record(kRecordLength);
  for (int records = 0; records <= static_cast<int>(content.size()) + 1; ++records) {
    if (ReadMonitorFileRecord(read, record.data(), kRecordLength) == nullptr) break;
    if (std::strlen(record.data()) >= static_cast<size_t>(kRecordLength)) __builtin_trap();
  }
  std::fclose(file);
  return 0;
}
