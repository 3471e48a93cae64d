#include "record_split.h"

#include <algorithm>
#include <cstring>

#include "application_entry.h"
#include "attribute_entry.h"
#include "attribute_load.h"
#include "bsv1.h"
#include "derived_attributes.h"
#include "rate_attributes.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

bool named(const AttributeEntry* attribute, const char* name) { return std::strcmp(attribute->AttrName, name) == 0; }

bool isComputed(const AttributeEntry* attribute) {
  return named(attribute, "_DataSourceName") || named(attribute, "_LocalTimeStamp") ||
         (attribute->AttrOper1 != nullptr && attribute->AttrOper2 != nullptr);
}

// The summary attributes, and all that follows them, are filled by the summary.
bool endsWalk(const AttributeEntry* attribute) {
  return named(attribute, "_Date_Time") || named(attribute, "_Interval_Unit_Name");
}

bool isInteger(char type) { return std::strchr("ASGC?#%", type) != nullptr; }

// A summary source's three leading attributes come from its summary, not the record.
AttributeEntry* walkStart(const SourceEntry* source) {
  AttributeEntry* attribute = source->FirstAttribute;
  if (source->Summary != nullptr)
    for (int i = 0; i < 3 && attribute != nullptr; ++i) attribute = attribute->next;
  return attribute;
}

// From attribute on: fills the computed attributes it passes and returns the next
// attribute that takes a field, or null where the walk ends.
AttributeEntry* nextInput(AttributeEntry* attribute) {
  for (; attribute != nullptr; attribute = attribute->next) {
    if (endsWalk(attribute)) return nullptr;
    if (!isComputed(attribute)) return attribute;
    DoSpecialDerivedAttribute(attribute);
  }
  return nullptr;
}

char* find(char* from, char* end, char wanted) {
  if (from >= end) return nullptr;
  return static_cast<char*>(std::memchr(from, wanted, static_cast<size_t>(end - from)));
}

// The next delimiter from *position. A blank delimiter at *position is passed
// first, so a run of blanks counts as one and leading blanks are skipped.
char* nextDelimiter(char** position, char* end, char delimiter) {
  char* found = find(*position, end, delimiter);
  if (delimiter == ' ')
    while (found != nullptr && found == *position) found = find(++*position, end, delimiter);
  return found;
}

// The bytes a field takes in a record without delimiter: the value size for the
// integer types (raw, host order), else the size the metafile gives (16 for a
// time without one).
int32_t fieldWidth(const AttributeEntry* attribute) {
  if (isInteger(attribute->AttrType)) return attribute->MaxValSize;
  if (attribute->AttrType == ZEVP_ATTR_TIME && attribute->MaxSize <= 0) return attribute->MaxValSize;
  return std::max(attribute->MaxSize, 0);
}

class RecordSplit {
 public:
  RecordSplit(SourceEntry* source, char* record, int32_t length)
      : source_(source), record_(record), length_(length) {
    auto* nul = static_cast<char*>(std::memchr(record, '\0', static_cast<size_t>(length)));
    textEnd_ = nul != nullptr ? nul : record + length;
  }

  void run() {
    AttributeEntry* first = nextInput(walkStart(source_));
    const char* delimiter = source_->AttrDelimiter;
    if (first != nullptr && first->AttrType == ZEVP_ATTR_RECORD)
      wholeRecord(first);
    else if (delimiter == nullptr)
      fixedLayout(first);
    else if (std::strlen(delimiter) >= 2)
      markedFields(first, delimiter);
    else
      delimitedFields(first, delimiter[0] != '\0' ? delimiter[0] : ' ');
  }

  int loaded() const { return loaded_; }
  int32_t consumed() const { return consumed_; }

 private:
  void load(AttributeEntry* attribute, char* field, char* fieldEnd) {
    if (fieldEnd <= field) return;  // an empty field leaves the attribute empty
    LoadAttrBucket(attribute, field, static_cast<int32_t>(fieldEnd - field));
    ++loaded_;
    consumed_ += attribute->ActualValSize;
  }

  void wholeRecord(AttributeEntry* attribute) {
    LoadAttrBucket(attribute, record_, static_cast<int32_t>(textEnd_ - record_));
    loaded_ = 1;
    consumed_ = attribute->ActualValSize;
    nextInput(attribute->next);
  }

  void fixedLayout(AttributeEntry* attribute) {
    int32_t taken = 0;
    for (; attribute != nullptr && taken < length_; attribute = nextInput(attribute->next)) {
      int32_t count = std::min(fieldWidth(attribute), length_ - taken);
      int32_t stored = std::min<int32_t>(count, attribute->MaxValSize);
      std::memcpy(attribute->Value(), record_ + taken, static_cast<size_t>(stored));
      attribute->ActualValSize = static_cast<uint16_t>(stored);
      taken += count;
      ++loaded_;
      consumed_ += stored;
    }
  }

  // Each field lies between a begin and an end character: the attribute's own
  // pair or the group's. The split ends where no begin character is left.
  void markedFields(AttributeEntry* attribute, const char* groupPair) {
    char* position = record_;
    for (; attribute != nullptr; attribute = nextInput(attribute->next)) {
      const char* pair = std::strlen(attribute->DelimiterOverride) == 2 ? attribute->DelimiterOverride : groupPair;
      char* begin = find(position, textEnd_, pair[0]);
      if (begin == nullptr) return;
      char* field = begin + 1;
      char* close = find(field, textEnd_, pair[1]);
      char* fieldEnd = close != nullptr ? close : textEnd_;
      position = close != nullptr ? close + 1 : textEnd_;
      if (close != nullptr) *close = '\0';
      load(attribute, field, fieldEnd);
    }
  }

  // A field marked by the attribute's own begin and end characters, within a
  // delimited record; without its begin character it starts at the position. A
  // group delimiter right behind the end character belongs to this field.
  void markedField(AttributeEntry* attribute, char** position, char groupDelimiter) {
    const char* pair = attribute->DelimiterOverride;
    char* field = *position;
    if (char* begin = find(*position, textEnd_, pair[0])) {
      field = begin + 1;
    } else {
      TRC(TRC_ERROR, "*****Error: Attribute delimiter %s override not found in input data <%.*s>", pair,
          static_cast<int>(textEnd_ - *position), *position);
    }
    char* close = find(field, textEnd_, pair[1]);
    char* fieldEnd = close != nullptr ? close : textEnd_;
    *position = textEnd_;
    if (close != nullptr) {
      *close = '\0';
      *position = close + 1;
      if (*position < textEnd_ && **position == groupDelimiter) ++*position;
    }
    load(attribute, field, fieldEnd);
  }

  void delimitedFields(AttributeEntry* attribute, char groupDelimiter) {
    if (find(record_, textEnd_, groupDelimiter) == nullptr && ZEVP_CountInputAttributes(source_) > 1) {
      TRC(TRC_DETAIL, "Input ignored. Source Type <%c> No delimiter <%s> found in buffer <%.*s>. ActualDataSize: %d",
          source_->SourceType, source_->AttrDelimiter, static_cast<int>(textEnd_ - record_), record_,
          static_cast<int>(textEnd_ - record_));
      return;
    }
    char* position = record_;
    // The first field ends at the group's delimiter; each further one at its
    // attribute's own delimiter, when it has one.
    for (bool first = true; attribute != nullptr && position < textEnd_;
         attribute = nextInput(attribute->next), first = false) {
      size_t own = first ? 0 : std::strlen(attribute->DelimiterOverride);
      if (own == 2) {
        markedField(attribute, &position, groupDelimiter);
        continue;
      }
      char delimiter = own == 1 ? attribute->DelimiterOverride[0] : groupDelimiter;
      char* field = position;
      char* fieldEnd = textEnd_;
      if (attribute->AttrType == ZEVP_ATTR_LAST) {  // the rest of the record, delimiters and all
        if (delimiter == ' ')
          while (field < textEnd_ && *field == ' ') ++field;
        position = textEnd_;
      } else if (char* found = nextDelimiter(&position, textEnd_, delimiter)) {
        field = position;
        fieldEnd = found;
        *found = '\0';
        position = found + 1;
      } else {
        field = position;
        position = textEnd_;
      }
      load(attribute, field, fieldEnd);
    }
  }

  SourceEntry* source_;
  char* record_;
  int32_t length_;
  char* textEnd_;  // the first NUL, or the end of the record
  int loaded_ = 0;
  int32_t consumed_ = 0;
};

void clearValues(SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    attribute->ActualValSize = 0;
    std::memset(attribute->Value(), 0, static_cast<size_t>(attribute->MaxValSize) + 1);
  }
}

bool isInternalOutputGroup(const SourceEntry* source) {
  return source->Table != nullptr && source->Table->RoutingBlock != nullptr;
}

// Key data groups of other than SNMP applications rate per key; in a record
// without delimiter the rate attributes hold raw bytes, not rates.
bool ratesPerKey(const SourceEntry* source) {
  const TableEntry* table = source->Table;
  return table != nullptr && table->DataType[0] == 'K' && table->HasRateAttributes != 0 &&
         table->Application != nullptr && table->Application->SNMPapplication == 0 &&
         source->AttrDelimiter != nullptr;
}

}  // namespace

int ZEVP_CountInputAttributes(const SourceEntry* source) {
  int count = 0;
  for (const AttributeEntry* attribute = walkStart(source); attribute != nullptr && !endsWalk(attribute);
       attribute = attribute->next)
    if (!isComputed(attribute)) ++count;
  return count;
}

int ZEVP_MoveDataToAttr(SourceEntry* source, char* record, int32_t length, int32_t* consumed) {
  if (consumed != nullptr) *consumed = 0;
  if (source == nullptr) {
    TRC(TRC_ERROR, "*****Error: no source for the input data, discarded");
    return 0;
  }
  char empty[1] = {'\0'};
  if (record == nullptr || length < 0) {
    record = empty;
    length = 0;
  }
  BSV1_GetLock(&source->DataLock);
  BSV1_GetLock(&source->AttributeLock);
  clearValues(source);

  char* copy = nullptr;
  int loaded = 0;
  int32_t used = 0;
  bool split = true;
  if (source->FirstAttribute == nullptr) {
    TRC(TRC_ERROR, "*****Source @%p has no attributes, input data discarded", static_cast<void*>(source));
    split = false;
  } else if (isInternalOutputGroup(source)) {
    // Routing hands the record on unchanged: the split works on a copy.
    copy = static_cast<char*>(ZEV0_GetStorage(length + 1));
    if (copy == nullptr) {
      TRC(TRC_ERROR, "*****Error: no storage to split the record of source @%p, input data discarded",
          static_cast<void*>(source));
      split = false;
    } else {
      std::memcpy(copy, record, static_cast<size_t>(length));
      copy[length] = '\0';
      record = copy;
    }
  }
  if (split) {
    RecordSplit recordSplit(source, record, length);
    recordSplit.run();
    loaded = recordSplit.loaded();
    used = recordSplit.consumed();
    if (loaded > 0 && ratesPerKey(source)) ZEVP_ComputeKeyRates(source);
  }

  BSV1_ReleaseLock(&source->AttributeLock);
  BSV1_ReleaseLock(&source->DataLock);
  if (consumed != nullptr) *consumed = used;
  ZEV0_FreeStorage(&copy);
  return loaded;
}
