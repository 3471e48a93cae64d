#include "startup_config.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bsv1.h"
#include "config_file_lines.h"
#include "dp_anchor.h"
#include "dp_start.h"
#include "metafile_parser.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr char kEmptyFileComment[] = "* Dorvane Agent Configuration file\n";

std::atomic<int32_t> ConfigurationLoaded{0};

// Serialises every read and rewrite of the file.
BSV1_Lock* InitConfigFileAccessLock() {
  static BSV1_Lock lock;
  static std::once_flag made;
  std::call_once(made, [] { BSV1_InitializeLock(&lock); });
  return &lock;
}

class FileAccess {
 public:
  FileAccess() {
    TRC(TRC_UNIT_DETAIL, "Waiting for InitConfigFileAccessLock...");
    BSV1_GetLock(InitConfigFileAccessLock());
    TRC(TRC_UNIT_DETAIL, "Obtained InitConfigFileAccessLock");
  }
  ~FileAccess() {
    TRC(TRC_UNIT_DETAIL, "Releasing InitConfigFileAccessLock");
    BSV1_ReleaseLock(InitConfigFileAccessLock());
  }
  FileAccess(const FileAccess&) = delete;
  FileAccess& operator=(const FileAccess&) = delete;
};

const char* FileName(const DPAB* anchor) { return anchor->startupConfigFile != nullptr ? anchor->startupConfigFile : ""; }

// Once shut-down is requested the start loads nothing more.
ApplicationEntry* Load(DPAB* anchor, const std::string& name, int programStart) {
  if (zevp::ShutdownRequested(anchor)) {
    TRC(TRC_DETAIL, "Metafile <%s> not loaded: the data provider is shutting down", name.c_str());
    return nullptr;
  }
  return ZEVP_ConstructApplDataModel(anchor, name.c_str(), 0, nullptr, nullptr, programStart, 0);
}

// A count of -1 (the file named nothing) becomes 0 before the first name counts.
void Count(int* count) { *count = (*count < 0 ? 0 : *count) + 1; }

// The metafiles of the start-up configuration file; 0 when it did not open.
int LoadConfiguredMetafiles(DPAB* anchor) {
  FileAccess access;
  FILE* file = std::fopen(FileName(anchor), "re");
  if (file == nullptr) {
    TRC(TRC_DETAIL, "DP startup config file %s open failed. ErrorText <%s>", FileName(anchor), std::strerror(errno));
    return 0;
  }
  int count = -1;
  int number = 0;
  std::string record;
  while (zevp::ReadConfigLine(file, &record)) {
    TRC(TRC_DETAIL, "Config Rec %d ->%s", ++number, record.c_str());
    if (record[0] == '*') continue;
    ZEV0_RemoveCRandLF(record.data(), 'B');
    zevp::ForEachName(record.c_str(), [&](const std::string& name) {
      TRC(TRC_DETAIL, "Loading metafile <%s> from startup config file %s", name.c_str(), FileName(anchor));
      Load(anchor, name, DPpgmStart);
      Count(&count);
    });
  }
  std::fclose(file);
  ConfigurationLoaded = 1;
  if (count > 0)
    TRC(TRC_DETAIL, "%d application metafile(s) processed from startup config file %s", count, FileName(anchor));
  else
    TRC(TRC_DETAIL, "0 application metafiles processed from startup config file %s", FileName(anchor));
  return count;
}

void LoadPackagedMetafiles(DPAB* anchor, int* count) {
  const char* list = ZEV0_QueryProductSpec(ZEV2_METAFILES_TO_LOAD);
  if (list == nullptr) return;
  std::string names = list;
  TRC(TRC_DETAIL, "Packaged Solution metafiles to load <%s>", names.c_str());
  size_t start = 0;
  while (start <= names.size()) {
    size_t comma = names.find(',', start);
    std::string name = names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? names.size() + 1 : comma + 1;
    size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    TRC(TRC_DETAIL, "Packaged Solution loading metafile <%s>", name.c_str());
    if (Load(anchor, name, DPpgmStart) != nullptr) Count(count);
  }
}

std::string UpperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A name as a full name in the metafile directory, upper-cased, for comparing.
std::string ComparableName(const DPAB* anchor, const std::string& name) {
  if (ZEV0_IsThisFullyQualifiedName(name.c_str()) || anchor->metafileDirectory == nullptr) return UpperCased(name);
  char* full = ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, name.c_str());
  std::string result = UpperCased(full != nullptr ? full : name);
  ZEV0_FreeStorage(&full);
  return result;
}

struct ConfigRecord {
  bool comment;
  std::string text;  // with its line end
};

// The file's records: comments whole, every other record one per name.
std::vector<ConfigRecord> ReadRecords(FILE* file) {
  std::vector<ConfigRecord> records;
  std::string line;
  while (zevp::ReadConfigLine(file, &line)) {
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line[first] == '\n' || line[first] == '\r') continue;
    line.erase(0, first);
    if (line[0] == '*') {
      records.push_back({true, line});
      continue;
    }
    size_t end = line.find_first_of("\r\n");
    std::string lineEnd = end == std::string::npos ? "\n" : line.substr(end);
    std::vector<std::string> names;
    zevp::ForEachName(line.substr(0, end), [&](const std::string& name) { names.push_back(name); });
    for (size_t i = 0; i < names.size(); ++i)
      records.push_back({false, names[i] + (i + 1 == names.size() ? lineEnd : "\n")});
  }
  return records;
}

}  // namespace

namespace zevp {

bool StartUpConfigLoaded() { return ConfigurationLoaded != 0; }

}  // namespace zevp

int ZEVP_ProcessStartUpConfig(DPAB* anchor) {
  int count = LoadConfiguredMetafiles(anchor);
  LoadPackagedMetafiles(anchor, &count);
  anchor->startupConfigDone = 1;
  return count;
}

int ZEVP_AppendMetafileToStartUpConfig(DPAB* anchor, const char* metafileName) {
  if (!zevp::StartUpConfigLoaded()) return 1;
  FileAccess access;
  FILE* file = std::fopen(FileName(anchor), "ae");
  if (file == nullptr) {
    TRC(TRC_ERROR, "DP startup config file %s open failed. ErrorText <%s>", FileName(anchor), std::strerror(errno));
    return 0;
  }
  TRC(TRC_DETAIL, "Appending metafile %s to startup config file %s", metafileName, FileName(anchor));
  std::fprintf(file, "%s\n", metafileName);
  std::fclose(file);
  return 1;
}

int ZEVP_RemoveMetafileFromStartUpConfig(DPAB* anchor, const char* metafileName) {
  if (metafileName == nullptr || metafileName[0] == '\0') {
    TRC(TRC_ERROR, "Unable to remove metafile. No metafile name parameter was provided");
    return 0;
  }
  if (!zevp::StartUpConfigLoaded()) return 1;
  FileAccess access;
  FILE* file = std::fopen(FileName(anchor), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Unable to remove metafile <%s>. Startup config file %s open failed. ErrorText <%s>", metafileName,
        FileName(anchor), std::strerror(errno));
    return 0;
  }
  std::vector<ConfigRecord> records = ReadRecords(file);
  std::fclose(file);
  file = std::fopen(FileName(anchor), "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Unable to remove metafile <%s>. Startup config file %s open failed. ErrorText <%s>", metafileName,
        FileName(anchor), std::strerror(errno));
    return 1;
  }
  // The given name is qualified as the records are: given bare, it would never equal a
  // record's full name.
  std::string removed = ComparableName(anchor, metafileName);
  bool written = false;
  for (const ConfigRecord& record : records) {
    if (!record.comment && ComparableName(anchor, record.text.substr(0, record.text.find_first_of("\r\n")))
                                   .compare(0, removed.size(), removed) == 0) {
      TRC(TRC_DETAIL, "Removing metafile <%s> from startup config file %s", record.text.c_str(), FileName(anchor));
      continue;
    }
    std::fputs(record.text.c_str(), file);
    written = true;
  }
  if (!written) std::fputs(kEmptyFileComment, file);
  std::fclose(file);
  return 1;
}
