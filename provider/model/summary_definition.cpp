#include "summary_definition.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "source_entry.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

constexpr int32_t kPageSize = 4096;
constexpr int32_t kTotalSize = 4;

constexpr const char* kDateTimeHelp =
    "Dorvane Agent inserted attribute that shows the date and time in display format.";
constexpr const char* kIntervalNameHelp =
    "Dorvane Agent inserted attribute that shows summarization interval in text such as minute, hours, and weekday.";

bool named(const AttributeEntry* attribute, const char* name) { return std::strcmp(attribute->AttrName, name) == 0; }

bool isTimeStamp(const AttributeEntry* attribute) {
  return named(attribute, "_LocalTimeStamp") || named(attribute, "LocalTimeStamp");
}

bool isDisplay(const AttributeEntry* attribute) {
  return named(attribute, "_Date_Time") || named(attribute, "_Interval_Unit_Name");
}

bool isInserted(const AttributeEntry* attribute) {
  for (const char* head : ZEVP_SUMMARY_HEAD)
    if (named(attribute, head)) return true;
  return isTimeStamp(attribute) || isDisplay(attribute);
}

bool usesInserted(const AttributeEntry* attribute) {
  if (attribute->AttrOper1 == nullptr || attribute->AttrOper2 == nullptr) return false;
  const AttributeEntry* first = ZEVP_OperandAttribute(attribute->AttrOper1);
  return (first != nullptr && first->AttrName[0] == '_') || attribute->AttrOper2->AttrName[0] == '_';
}

// Only keys, totals, the inserted attributes and formulas over them are in a
// summary row. The number of attributes that left the row.
int markAccessible(SourceEntry* source) {
  int hidden = 0;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrSortKey != 0 || isInserted(attribute) || usesInserted(attribute)) continue;
    if (attribute->AttrAccessible != 0 && attribute->AttrType != ZEVP_ATTR_SKIP) ++hidden;
    attribute->AttrAccessible = 0;
  }
  return hidden;
}

// Inserts attributes at the end of sources' lists; the help text is placed in the
// group's help buffer once and shared by every source's attribute.
class Insertions {
 public:
  explicit Insertions(TableEntry* table) : table_(table) {}

  // 1 when the attribute was added.
  int add(SourceEntry* source, const char* name, const char* type, const char* size, const char* help) {
    auto known = helpTexts_.find(name);
    bool first = known == helpTexts_.end();
    AttributeEntry* attribute =
        ZEVP_InitializeAttrEntry(source, name, type, size, 0, 0, first ? help : nullptr, nullptr);
    if (attribute == nullptr) return 0;
    if (first)
      helpTexts_[name] = attribute->HelpText;
    else
      attribute->HelpText = known->second;
    return 1;
  }

  // The group's counts follow what one source got: they count the group's attributes.
  void count(int added, int hidden) {
    if (counted_ || (added == 0 && hidden == 0)) return;
    counted_ = true;
    BSV1_GetLock(&table_->CounterLock);
    table_->AttributesDefined += added;
    table_->AttributesNotDerived += added;
    table_->AttributesPerRow += added - hidden;
    BSV1_ReleaseLock(&table_->CounterLock);
  }

 private:
  TableEntry* table_;
  std::map<std::string, const char*> helpTexts_;
  bool counted_ = false;
};

int addInsertedAttributes(Insertions& insertions, SourceEntry* source, bool addDisplay) {
  int added = 0;
  if (ZEVP_SummaryTimeStampAttribute(source) == nullptr) {
    TRC(TRC_DETAIL, "LocalTimeStamp not found. Auto added to definition");
    added += insertions.add(source, "_LocalTimeStamp", "T", "16", nullptr);
  }
  if (addDisplay) {
    added += insertions.add(source, "_Date_Time", "D", "24", kDateTimeHelp);
    added += insertions.add(source, "_Interval_Unit_Name", "D", "24", kIntervalNameHelp);
  }
  return added;
}

// The key width of the group, counted once on its first source: the key values
// side by side, or the no-key text.
void countKeys(TableEntry* table, SummaryManagementBlock* group) {
  if (group->SummaryKeyDataWidth != 0 || table->FirstSource == nullptr) return;
  int32_t width = 0;
  int keys = 0;
  BSV1_GetLock(&table->FirstSource->AttributeLock);
  for (AttributeEntry* attribute = table->FirstSource->FirstAttribute; attribute != nullptr;
       attribute = attribute->next) {
    if (attribute->AttrSortKey <= 0) continue;
    ++keys;
    width += attribute->MaxValSize;
  }
  BSV1_ReleaseLock(&table->FirstSource->AttributeLock);
  if (keys == 0) {
    TRC(TRC_ERROR, "Warning: No key attribute defined for Summary table");
    ZEVP_DisplayValidationMessage(ZEVPV91W, table->TableName);
    width = ZEVP_SUMMARY_NO_KEY_WIDTH;
  }
  group->SummaryKeyDataWidth = width + 1;
}

void link(std::vector<AttributeEntry*>& order, AttributeEntry* attribute) {
  if (attribute != nullptr && std::find(order.begin(), order.end(), attribute) == order.end())
    order.push_back(attribute);
}

// The summary order of the source's attributes (see summary_definition.h).
std::vector<AttributeEntry*> summaryOrder(SourceEntry* source) {
  std::vector<AttributeEntry*> keys;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrSortKey > 0) keys.push_back(attribute);
  std::stable_sort(keys.begin(), keys.end(),
                   [](const AttributeEntry* a, const AttributeEntry* b) { return a->AttrSortKey < b->AttrSortKey; });
  std::vector<AttributeEntry*> order = keys;
  AttributeEntry* head = source->FirstAttribute;
  for (int i = 0; i < 3 && head != nullptr; ++i, head = head->next) link(order, head);
  link(order, ZEVP_SummaryTimeStampAttribute(source));
  for (const char* name : {"_Date_Time", "_Interval_Unit_Name"})
    for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
      if (named(attribute, name)) link(order, attribute);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrAccessible && attribute->AttrSortKey == 0 && attribute->AttrName[0] != '_')
      link(order, attribute);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrSortKey < 0) link(order, attribute);
  return order;
}

void buildOrder(SourceEntry* source) {
  std::vector<AttributeEntry*> order = summaryOrder(source);
  source->FirstInSequence = order.empty() ? nullptr : order.front();
  for (size_t i = 0; i < order.size(); ++i) order[i]->NextInSequence = i + 1 < order.size() ? order[i + 1] : nullptr;
}

void sizeArray(SummaryManagementBlock* block, const SourceEntry* source) {
  int32_t totals = 0;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrSortKey < 0) ++totals;
  block->TotalCount = totals;
  block->SummaryTotalWidth = kTotalSize * totals;
  block->SummaryArrayWidth = block->SummaryKeyDataWidth + block->SummaryTotalWidth;
  // An entry wider than a page still grows the array an entry at a time.
  block->AllocationUnit = std::max(kPageSize / block->SummaryArrayWidth, 1);
  TRC(TRC_DETAIL, "SummaryArrayWidth %d,SummaryTotalWidth %d, SummaryKeyDataWidth %d, Allocation unit %d",
      block->SummaryArrayWidth, block->SummaryTotalWidth, block->SummaryKeyDataWidth, block->AllocationUnit);
}

}  // namespace

AttributeEntry* ZEVP_SummaryTimeStampAttribute(const SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (isTimeStamp(attribute)) return attribute;
  return nullptr;
}

int ZEVP_CompleteSummaryTableDefinition(TableEntry* table, int addDisplay) {
  if (table == nullptr || table->Summary == nullptr) return 1;
  SummaryManagementBlock* group = table->Summary;
  Insertions insertions(table);
  BSV1_GetLock(&table->SourceListLock);
  countKeys(table, group);
  for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
    if (source->Summary != nullptr || source->FirstAttribute == nullptr) continue;
    BSV1_GetLock(&source->AttributeLock);
    int hidden = markAccessible(source);
    insertions.count(addInsertedAttributes(insertions, source, addDisplay != 0), hidden);
    source->Summary = ZEVP_CreateSourceSummaryBlock(group);
    if (source->Summary != nullptr) {
      if (source->FirstInSequence == nullptr) buildOrder(source);
      sizeArray(source->Summary, source);
    }
    BSV1_ReleaseLock(&source->AttributeLock);
  }
  BSV1_ReleaseLock(&table->SourceListLock);
  return 0;
}
