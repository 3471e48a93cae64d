// The table-manager registry's work file: named at construction, read back at start-up.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "table_manager_line.h"
#include "table_manager_list.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/threads.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

namespace {

constexpr char kDefaultProductCode[] = "EV";
constexpr char kDefaultFileName[] = "ZEVATBLS";
constexpr size_t kMaxFileName = 255;
constexpr char kOpenMode[] = "a+";

}  // namespace

const char* tableManagerFileName(const char* fileNameItem, const char* productCode) {
  if (fileNameItem != nullptr) return fileNameItem;
  if (productCode == nullptr) {
    TRC(TRC_ERROR, "Error: Query for ZEV2_PRODUCT_CODE failed.");
    return nullptr;
  }
  if (std::strcmp(productCode, kDefaultProductCode) != 0) {
    TRC(TRC_ERROR, "Error: Query for ZEV2_ZEVATBLS_FILENAME failed.");
    return nullptr;
  }
  TRC(TRC_ERROR, "Warning: Query for ZEV2_ZEVATBLS_FILENAME failed. Using defaults <%s>", kDefaultFileName);
  return kDefaultFileName;
}

tableManagerList::tableManagerList() {
  ZEV0_InitializeMutex(&lock_);
  const char* fileName = tableManagerFileName(ZEV0_QueryProductSpec(ZEV2_ZEVATBLS_FILENAME),
                                              ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE));
  // Which product this is cannot be told: the agent cannot go on.
  if (fileName == nullptr) std::exit(1);
  char* qualified = ZEV0_ConstructFullyQualifiedName(nullptr, fileName);
  if (qualified == nullptr) {
    TRC(TRC_ERROR, "Error: Could not build fully qualified file name.");
    errors_ = 1;
    return;
  }
  if (std::strlen(qualified) > kMaxFileName) {
    TRC(TRC_ERROR, "Error: file name <%s> longer than %d", qualified, static_cast<int>(kMaxFileName));
    errors_ = 1;
  } else {
    workFile_ = std::fopen(qualified, "a+e");  // the mode above, closed on exec
    if (workFile_ == nullptr) {
      TRC(TRC_ERROR, "Error: unable to open <%s> file, mode<%s>, errno=%d", qualified, kOpenMode, errno);
      errors_ = 1;
    } else {
      TRC(TRC_DETAIL, "Successfully opened table manager file <%s>", qualified);
      errors_ = processWorkFile();
    }
  }
  ZEV0_FreeStorage(&qualified);
}

int tableManagerList::processWorkFile() {
  std::rewind(workFile_);
  short SNMPflag = 0;
  char* line = nullptr;
  size_t capacity = 0;
  for (int number = 1; errors_ == 0 && getline(&line, &capacity, workFile_) >= 0; ++number) {
    std::string_view taken(line, std::strcspn(line, "\r\n"));
    if (processWorkFileLine(taken, &SNMPflag) == 0) continue;
    TRC(TRC_ERROR, "Error: line %d <%.*s> of the table manager file not taken: no further table is recorded", number,
        static_cast<int>(taken.size()), taken.data());
    errors_ = 1;
  }
  std::free(line);
  // Lines are only appended: the next write goes after the last one read.
  std::fseek(workFile_, 0, SEEK_END);
  return errors_;
}

// A line without the flag takes the one before it.
int tableManagerList::processWorkFileLine(std::string_view line, short* SNMPflag) {
  tableManagerLine parsed;
  if (!parseTableManagerLine(line, &parsed)) return 1;
  const char* applName = parsed.applName.c_str();
  const char* tableName = parsed.tableName.c_str();
  if (parsed.flagGiven)
    *SNMPflag = parsed.SNMPflag;
  else
    TRC(TRC_ERROR, "Warning: missing SNMP token in applName [%s] tableName [%s]", applName, tableName);
  zev_dorvan_manager* manager = zev_dorvan_init(applName, tableName, nullptr, nullptr, *SNMPflag);
  if (manager == nullptr) {
    TRC(TRC_ERROR, "Error: allocating TblMgr for applName [%s] tableName [%s]", applName, tableName);
    return 1;
  }
  TRC(TRC_DETAIL, "New TblMgr[@%p] applName [%s] tableName [%s]", static_cast<void*>(manager), applName, tableName);
  return addEntry(applName, tableName, manager, kFromWorkFile, 0);
}
