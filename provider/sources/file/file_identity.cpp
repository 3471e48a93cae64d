#include "file_identity.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "file_pattern_control_block.h"
#include "io_entry.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace zevp {

namespace {

// The first line (at most limit characters, its line end included when it fits).
bool ReadFirstLine(const char* fileName, size_t limit, std::string* line, bool* ended, bool* opened = nullptr) {
  FILE* file = fileName != nullptr ? std::fopen(fileName, "rbe") : nullptr;
  if (opened != nullptr) *opened = file != nullptr;
  if (file == nullptr) {
    TRC(TRC_DETAIL, "*****File %s open failed. ErrorText <%s>", fileName != nullptr ? fileName : "", std::strerror(errno));
    return false;
  }
  line->clear();
  *ended = false;
  int c;
  while (line->size() < limit && (c = std::fgetc(file)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') {
      *ended = true;
      break;
    }
  }
  // A first line longer than the limit has an identity as fixed as one that ended.
  if (!*ended && line->size() == limit) *ended = true;
  std::fclose(file);
  return !line->empty();
}

uint16_t CheckSumOf(const std::string& text) {
  TRC(TRC_UNIT_DETAIL, "Calculate record check sum using {%s}", text.c_str());
  return ZEV0_ComputeCheckSum(text.data(), static_cast<int32_t>(text.size()));
}

}  // namespace

FileIdentity ReadFileIdentity(const char* fileName, int32_t recordLength) {
  FileIdentity identity;
  std::string line;
  size_t limit = recordLength > 1 ? static_cast<size_t>(recordLength - 1) : 1;
  if (!ReadFirstLine(fileName, limit, &line, &identity.ended, &identity.opened)) {
    if (identity.opened) TRC(TRC_DETAIL, "Check sum record read failed. ErrorText <%s>", std::strerror(errno));
    return FileIdentity{0, 0, false, identity.opened};
  }
  identity.checkSum = CheckSumOf(line);
  identity.length = line.size();
  return identity;
}

bool IsSameFile(FileIdentity* identity, const char* fileName, int32_t recordLength) {
  FileIdentity current = ReadFileIdentity(fileName, recordLength);
  bool same = current.checkSum == identity->checkSum || identity->checkSum == 0;
  if (!identity->ended && identity->checkSum != 0 && current.length > identity->length) {
    // The first line was still being written: the same file when it begins with
    // what was there then.
    std::string line;
    bool ended = false;
    same = ReadFirstLine(fileName, identity->length, &line, &ended) && CheckSumOf(line) == identity->checkSum;
  }
  if (same) *identity = current;
  return same;
}

}  // namespace zevp

uint16_t ZEVP_FormatFileIDcheckSum(const IOEntry* entry, const FileSpecControlBlock* spec) {
  return zevp::ReadFileIdentity(spec->CurrentSpecFileName, entry->RecordLength).checkSum;
}
