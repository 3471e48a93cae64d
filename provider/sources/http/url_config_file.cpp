#include "url_config_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "dp_anchor.h"
#include "http_trace.h"
#include "url_config_line.h"
#include "url_management.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

// A line holds at most this many characters before its line feed.
constexpr size_t kLineMax = 2047;

void AddRecord(URLmanagementBlock* block, const zevp::URLconfigRecord& record) {
  for (const std::string& owner : record.owners) {
    URLrequestEntry* entry =
        ZEVP_AllocateHTTPrequestBlock(block->Anchor, record.url.c_str(), record.hasAlias ? record.alias.c_str() : nullptr,
                                      record.interval, owner.c_str(), record.cachePercent, nullptr);
    if (entry != nullptr) entry->FromConfigFile = 1;
  }
}

void ClearConfigurationChanged(URLmanagementBlock* block) {
  BSV1_GetLock(&block->ConfigurationLock);
  block->ConfigurationChanged = 0;
  BSV1_ReleaseLock(&block->ConfigurationLock);
}


// Ends the new file: flushed to the disk, then put in place of the old one.
bool ReplaceFile(FILE* file, const std::string& newName, const char* name) {
  if (zev0::ReplaceWithNewFile(file, newName.c_str(), name)) return true;
  HTTP_TRC(TRC_ERROR, "***** URL configuration file %s not rewritten. ErrorText <%s>", name, std::strerror(errno));
  return false;
}

}  // namespace

namespace zevp {

void ReadURLconfigFile(URLmanagementBlock* block) {
  FILE* file = std::fopen(block->ConfigFileName, "re");
  if (file == nullptr) {
    HTTP_TRC(TRC_ERROR, "URL configuration file %s open failed, ErrorText <%s>", block->ConfigFileName,
             std::strerror(errno));
    return;
  }
  ReadURLconfigLines(block, file);
  std::fclose(file);
}

void ReadURLconfigLines(URLmanagementBlock* block, FILE* file) {
  int records = 0;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, kLineMax, &tooLong)) {
    ++records;
    if (tooLong) {
      HTTP_TRC(TRC_ERROR, "URL Config %d longer than %zu characters. Skipped", records, kLineMax);
      continue;
    }
    HTTP_TRC(TRC_DETAIL, "URL Config %d ->{%s}", records, line.c_str());
    URLconfigRecord record = ReadURLconfigLine(line, block->DefaultSampleInterval);
    if (record.kind == URLconfigRecord::Kind::url) AddRecord(block, record);
  }
  HTTP_TRC(TRC_DETAIL, "%d URL configuration records processed", records);
}

int WriteURLconfigLines(URLmanagementBlock* block, FILE* file) {
  int written = 0;
  bool failed = false;
  BSV1_GetLock(&block->URLListLock);
  for (const URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    for (const URLownerEntry* owner = entry->Owners; owner != nullptr; owner = owner->next) {
      std::string line = zevp::URLconfigLine(entry->URL, entry->StatusInterval, entry->CachePercent, owner->User,
                                             owner->Alias);
      HTTP_TRC(TRC_DETAIL, "URL Config Rec %d {%s}", written + 1, line.c_str());
      failed |= std::fwrite(line.data(), 1, line.size(), file) != line.size();
      ++written;
    }
  }
  BSV1_ReleaseLock(&block->URLListLock);
  return failed ? -1 : written;
}


}  // namespace zevp

void ZEVP_ProcessURLconfigFile(URLmanagementBlock* block) {
  if (block == nullptr) return;
  const char* name = ZEV0_QueryProductSpec(ZEV2_ZEVPURLS_FILENAME);
  ZEV0_FreeStorage(&block->ConfigFileName);
  block->ConfigFileName = name != nullptr && *name != '\0' ? ZEV0_ConstructFullyQualifiedName(nullptr, name) : nullptr;
  if (block->ConfigFileName == nullptr) {
    HTTP_TRC(TRC_DETAIL, "Loading URL configuration file bypassed");
    return;
  }
  zevp::ReadURLconfigFile(block);
  ClearConfigurationChanged(block);
}

void ZEVP_UpdateURLconfigurationFile(DPAB* anchor) {
  URLmanagementBlock* block = anchor != nullptr ? anchor->urlManagement : nullptr;
  if (block == nullptr || block->ConfigFileName == nullptr) {
    HTTP_TRC(TRC_DETAIL, "Update URL configuration file bypassed. No file name defined");
    return;
  }
  const std::string newName = std::string(block->ConfigFileName) + ".new";
  FILE* file = std::fopen(newName.c_str(), "we");
  if (file == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** URL configuration file %s open failed. ErrorText <%s>", newName.c_str(),
             std::strerror(errno));
    return;
  }
  int written = zevp::WriteURLconfigLines(block, file);
  if (written < 0) {
    HTTP_TRC(TRC_ERROR, "***** URL configuration file %s write failed. ErrorText <%s>", newName.c_str(),
             std::strerror(errno));
    std::fclose(file);
    std::remove(newName.c_str());
    return;
  }
  if (ReplaceFile(file, newName, block->ConfigFileName))
    HTTP_TRC(TRC_DETAIL, "%d records written to URL configuration file %s", written, block->ConfigFileName);
}

void ZEVP_SetURLconfigurationUpdate() {
  zevp::URLmanagementRequest request;
  URLmanagementBlock* block = request.block();
  if (block == nullptr) {
    HTTP_TRC(TRC_ERROR, "URL configuration update not marked. URLmanagementBlock not available.");
    return;
  }
  BSV1_GetLock(&block->ConfigurationLock);
  block->ConfigurationChanged = 1;
  BSV1_ReleaseLock(&block->ConfigurationLock);
}
