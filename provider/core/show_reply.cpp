#include "show_reply.h"

#include <utility>

#include "model_records.h"

namespace {

const char* TtlLabel(char dataType) {
  switch (dataType) {
    case 'P':
      return "Poll Data TTL=";
    case 'E':
      return "Event-Data TTL=";
    case 'S':
      return "Sample Data TTL=";
    case 'K':
      return "Key Data TTL=";
    default:
      return "";
  }
}

// The kind of a source by its letter; null for a letter without one.
const char* SourceKind(char sourceType) {
  switch (sourceType) {
    case ZEVP_SOURCE_FILE:
      return "FILE";
    case ZEVP_SOURCE_SOCK:
      return "SOCKET";
    case ZEVP_SOURCE_ODBC:
      return "ODBC";
    case ZEVP_SOURCE_BASE:
      return "API";
    case ZEVP_SOURCE_SNMP:
      return "SNMP";
    case ZEVP_SOURCE_APPC:
      return "APPC";
    default:
      return nullptr;
  }
}

std::string TypeLabel(const AttributeEntry& attribute) {
  const std::string size = std::to_string(attribute.MaxValSize);
  switch (attribute.AttrType) {
    case ZEVP_ATTR_AVERAGE:
      return "Average Type";
    case ZEVP_ATTR_SWITCH:
      return "Switch Type";
    case ZEVP_ATTR_GAUGE:
      return "Gauge Type";
    case ZEVP_ATTR_COUNTER:
      return "Counter Type";
    case ZEVP_ATTR_DISPLAY:
      return "Display Type Max Size " + size;
    case ZEVP_ATTR_OBJECT:
      return "Object Type Max Size " + size;
    case ZEVP_ATTR_LAST:
      return "Last Type Max Size " + size;
    case ZEVP_ATTR_TIME:
      return "Time Type";
    default:
      return "";
  }
}

const char* FlagSuffix(const AttributeEntry& attribute) {
  if (attribute.AttrKey && attribute.Atomic) return " KEY ATOMIC;";
  if (attribute.AttrKey) return " KEY;";
  if (attribute.Atomic) return " ATOMIC;";
  return ";";
}

// The text as it grows into segments. Lengths count the whole text with one
// separator between segments, so the segments end where a single growing buffer
// would have been replaced by a bigger one.
class ShowText {
 public:
  ShowText() : size_(zevp::ZEVP_SHOW_FIRST_SIZE), limit_(size_ - zevp::ZEVP_SHOW_MARGIN) {
    reply_.segments.push_back("2 ");
    length_ = 2;
  }

  // Appends a record, opening a new segment first when the text is past the
  // limit, or when the record would not fit the room left.
  void add(const std::string& record, size_t limitCut = 0) {
    if (length_ > limit_ - limitCut || length_ + record.size() + 1 > size_) grow(record.size());
    reply_.segments.back() += record;
    length_ += record.size();
  }

  zevp::ShowReply finish() {
    if (reply_.segments.size() > 1) reply_.segments.front().replace(0, 2, "1 ");
    return std::move(reply_);
  }

 private:
  // A record that a new segment's room would not hold gets its own length besides.
  void grow(size_t recordLength) {
    static const std::string kContinuation = "0 ";
    bool fits = 1 + kContinuation.size() + recordLength + 1 <= zevp::ZEVP_SHOW_FIRST_SIZE;
    size_t extra = fits ? 0 : recordLength;
    size_ = length_ + zevp::ZEVP_SHOW_FIRST_SIZE + extra;
    limit_ = size_ - zevp::ZEVP_SHOW_MARGIN;
    reply_.segments.push_back(kContinuation);
    length_ += 1 + kContinuation.size();
  }

  zevp::ShowReply reply_;
  size_t length_;
  size_t size_;
  size_t limit_;
};

std::string Field(const char* text) { return std::string(text != nullptr ? text : "") + ";"; }

void AddSource(ShowText& text, SourceEntry* source) {
  std::string record = "3;";
  if (const char* kind = SourceKind(source->SourceType)) record += Field(kind);
  bool named = source->SourceName != nullptr && source->SourceName[0] != '\0';
  record += Field(named ? source->SourceName : "-");
  text.add(record, zevp::ZEVP_SHOW_MARGIN);

  BSV1_GetLock(&source->AttributeLock);
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    text.add("4;" + Field(attribute->AttrName) + TypeLabel(*attribute) + FlagSuffix(*attribute));
  BSV1_ReleaseLock(&source->AttributeLock);
}

}  // namespace

// Each list is held while it is walked, the group list for the whole reply:
// sources come and go on other threads (partners, routing) meanwhile.
zevp::ShowReply ZEVP_ConstructShowReply(ApplicationEntry* application) {
  ShowText text;
  BSV1_GetLock(&application->TableListLock);
  text.add("0;" + Field(application->MetafileName) + "1;" + Field(application->ApplName));
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->SourceListLock);
    text.add("2;" + Field(table->TableName) + TtlLabel(table->DataType[0]) + std::to_string(table->TTL) + ";");
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) AddSource(text, source);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return text.finish();
}
