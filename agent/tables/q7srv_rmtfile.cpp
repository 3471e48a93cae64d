#include "q7srv_rmtfile.h"

#include <cstring>
#include <new>
#include <string_view>

#include "application_probe_list.h"
#include "definition_file.h"
#include "dch/channel_functions.h"
#include "fixed_table_inputs.h"
#include "fixed_tables.h"
#include "trc1.h"
#include "user_data_list.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr fixedColumn kColumns[] = {
    {"FILEROW", 7, "filerow", RAF_COLUMN_TEXT, 512, 0},
    {"ORIGINNODE", 10, "originnode", RAF_COLUMN_TEXT, 32, 512},
    {"RMTFILE", 7, "rmtfile", RAF_COLUMN_TEXT, 32, 544},
};
constexpr int kColumnCount = sizeof kColumns / sizeof kColumns[0];
constexpr int kAllocationDefault = 30;
// FILEROW's text, its NUL after it.
constexpr size_t kMostRowText = sizeof(q7srv_rmtfile_data_t::filerow) - 1;

// The table's one manager, for the agent's life.
q7srv_rmtfile_manager* staticManager = nullptr;

// The kinds of file a request may ask for, by the start of its RMTFILE value.
struct FileKind {
  const char* prefix;
  const char* kind;
};
constexpr FileKind kKinds[] = {{"*CAT", "CAT"}, {"*ATTR", "ATR"}, {"*ODI", "ODI"}};

}  // namespace

q7srv_rmtfile_base::q7srv_rmtfile_base(RequestDetail* detail, ContextInfo* context, TableManager* manager)
    : fixedTableBase(detail, context, manager, kColumns, kColumnCount, sizeof(q7srv_rmtfile_data_t),
                     kAllocationDefault) {}

q7srv_rmtfile_agent::q7srv_rmtfile_agent(RequestDetail* detail, ContextInfo* context, TableManager* manager)
    : q7srv_rmtfile_base(detail, context, manager) {
  std::memset(&row_, 0, sizeof row_);
  if (!setUp()) errors_ = 1;
}

q7srv_rmtfile_agent::~q7srv_rmtfile_agent() {
  TRC(TRC_DETAIL, "q7srv_rmtfile_agent @%p ends", static_cast<void*>(this));
}

bool q7srv_rmtfile_agent::setUp() {
  std::string originNode, fileAsked;
  FLT1_FILTERINFO filter;
  while (GetFilterInfo(&filter) != FLT1_NO_MORE_FILTERS) {
    if (std::strncmp(filter.columnName, "ORIGINNODE", 10) == 0)
      originNode = PredicateValue(filter, sizeof row_.originnode);
    else if (std::strncmp(filter.columnName, "RMTFILE", 7) == 0)
      fileAsked = PredicateValue(filter, sizeof row_.rmtfile);
  }
  bool good = true;
  if (originNode.empty()) {
    TRC(TRC_ERROR, "Error: ORIGINNODE was NULL.");
    good = false;
  }
  if (fileAsked.empty()) {
    TRC(TRC_ERROR, "Error: RMTFILE was NULL.");
    good = false;
  }
  BlankPadded(row_.originnode, originNode);
  BlankPadded(row_.rmtfile, fileAsked);
  if (!good) return false;
  const char* kind = nullptr;
  for (const FileKind& known : kKinds)
    if (fileAsked.compare(0, std::strlen(known.prefix), known.prefix) == 0) kind = known.kind;
  if (kind == nullptr) {
    TRC(TRC_ERROR, "Error: RMTFILE <%s> not recognized.", fileAsked.c_str());
    return false;
  }
  remoteFileNode node;
  if (!SplitRemoteFileNode(originNode, &node)) return false;
  key_ = node.key;
  fileName_ = DefinitionFilePath(key_.substr(0, 3) + kind + node.suffix);
  return !fileName_.empty();
}

void q7srv_rmtfile_agent::TakeSample() {
  if (errors_ != 0) return;
  applicationProbeList* probes = startedProbes();
  // Held while the file is read: its probe does not delete the definition meanwhile.
  userDataListHold definition = probes != nullptr ? probes->holdUDL(key_.c_str()) : userDataListHold();
  if (definition.get() == nullptr) {
    TRC(TRC_ERROR, "Error: could not resolve dataList pointer using:");
    TRC(TRC_ERROR, "     _applKey_tableName   <%s>", key_.c_str());
    errors_ = 1;
    return;
  }
  ClearCount();
  switch (_get_sampletype()) {
    case IntfSampleType_demand:
      break;
    case IntfSampleType_undefined:
      TRC(TRC_ERROR, "Error: IntfSampleType_undefined not supported");
      return;
    case IntfSampleType_exception:
      TRC(TRC_ERROR, "Error: IntfSampleType_exception ignored");
      return;
    case IntfSampleType_interval:
      TRC(TRC_ERROR, "Error: IntfSampleType_interval ignored");
      return;
    default:
      TRC(TRC_ERROR, "Error: %d is an unknown IntfSampleType.", _get_sampletype());
      return;
  }
  // The definition files are not rewritten while they are read.
  pthread_mutex_t* lock = definition.get()->lock();
  if (ZEVA_GetLock(lock, this) != 0) {
    errors_ = 1;
    return;
  }
  int rows = 0;
  if (std::FILE* file = std::fopen(fileName_.c_str(), "re")) {
    if (!emitFile(file, &rows)) errors_ = 1;
    std::fclose(file);
  } else {
    TRC(TRC_ERROR, "Error: Unable to open %s file.", fileName_.c_str());
    errors_ = 1;
  }
  if (ZEVA_ReleaseLock(lock, this) != 0) errors_ = 1;
  TRC(TRC_DETAIL, "<@%p> emitted %d records", static_cast<void*>(this), rows);
}

bool q7srv_rmtfile_agent::emitFile(std::FILE* file, int* rows) {
  char piece[kMostRowText + 1];
  std::string gathered;
  bool read = false;
  while (std::fgets(piece, sizeof piece, file) != nullptr) {
    read = true;
    size_t length = std::strlen(piece);
    if (gathered.size() + length <= kMostRowText) {
      gathered.append(piece, length);
      continue;
    }
    if (!handOver(gathered, false)) return false;
    ++*rows;
    gathered.assign(piece, length);
  }
  if (!read) {
    TRC(TRC_ERROR, "Error: No file records were read for <%s>", fileName_.c_str());
    return false;
  }
  if (gathered.empty()) return true;
  if (!handOver(gathered, true)) return false;
  ++*rows;
  return true;
}

bool q7srv_rmtfile_agent::handOver(const std::string& text, bool lastRow) {
  size_t lineEnd = text.rfind('\n');
  size_t length = lineEnd;
  // A last line without a line feed is a line all the same.
  if (lastRow && text.back() != '\n') length = text.size();
  if (length == std::string::npos) {
    TRC(TRC_ERROR, "Error: could not find LF");
    ZEV0_PrintDump(text.data(), 0, static_cast<int>(text.size()));
    return false;
  }
  std::memset(row_.filerow, 0, sizeof row_.filerow);
  std::memcpy(row_.filerow, text.data(), length);
  AddData(&row_, 1);
  return true;
}

q7srv_rmtfile_manager::q7srv_rmtfile_manager() : fixedTableManager("Q7SRV", "RMTFILE") {}

Pxraf* q7srv_rmtfile_manager::CreatePxraf(RequestDetail* detail, ContextInfo* context) {
  return new (std::nothrow) q7srv_rmtfile_agent(detail, context, this);
}

int q7srv_rmtfile_manager::EventArrived(q7srv_rmtfile_data_t* rows, int count) {
  return staticManager != nullptr ? staticManager->AddDataToEvent(rows, count) : 0;
}

int q7srv_rmtfile_init() {
  int status = StartFixedTable(&staticManager);
  TRC(TRC_DETAIL, "Table %s registered: status=%d", "Q7SRV.RMTFILE", status);
  return status;
}
