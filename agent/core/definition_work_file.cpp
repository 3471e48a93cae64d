#include "definition_work_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "field_walk.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr std::string_view kHelpMark = "@HELP";

// A decimal checksum of at most 16 bits.
bool takeChecksum(std::string_view token, uint16_t* checksum) {
  if (token.empty() || token.size() > 5 || token.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  unsigned long value = std::strtoul(std::string(token).c_str(), nullptr, 10);
  if (value > UINT16_MAX) return false;
  *checksum = static_cast<uint16_t>(value);
  return true;
}

// The text between "<" and ">", each taken off when it is there.
std::string_view recordedText(std::string_view token) {
  if (!token.empty() && token.front() == '<') token.remove_prefix(1);
  if (!token.empty() && token.back() == '>') token.remove_suffix(1);
  return token;
}

int readHelpLine(std::string_view mark, std::string_view rest, const char* fileName, recordedDefinition* recorded) {
  if (mark != kHelpMark) {
    TRC(TRC_ERROR, "Error: @HELP token missing from workfile <%s>", fileName);
    return 1;
  }
  std::string_view checksum;
  if (!nextBlankToken(&rest, &checksum) || !takeChecksum(checksum, &recorded->helpChecksum)) {
    TRC(TRC_ERROR, "Error: Help checksum token missing from workfile <%s>", fileName);
    return 1;
  }
  recorded->helpLine = true;
  return 0;
}

int readGroupLine(std::string_view version, std::string_view rest, const char* fileName, int maxGroups,
                  recordedDefinition* recorded) {
  if (version.size() > recordedDefinition::kMaxVersion) {
    TRC(TRC_ERROR, "Error: version token missing from workfile <%s>", fileName);
    return 1;
  }
  checksumInfo record;
  std::string_view group, checksum, text;
  if (!nextBlankToken(&rest, &group) || !setChecksumGroup(&record, group)) {
    TRC(TRC_ERROR, "Error: attrGroup token missing from workfile <%s>", fileName);
    return 1;
  }
  if (!nextBlankToken(&rest, &checksum) || !takeChecksum(checksum, &record.checksum)) {
    TRC(TRC_ERROR, "Error: checksum token missing from workfile <%s>", fileName);
    return 1;
  }
  if (!nextBlankToken(&rest, &text)) {
    TRC(TRC_ERROR, "Error: registration string token missing from workfile <%s>", fileName);
    return 1;
  }
  std::memcpy(recorded->version, version.data(), version.size());
  recorded->version[version.size()] = '\0';
  if (static_cast<int>(recorded->groups.size()) >= maxGroups) {
    ++recorded->groupsBeyond;
    return 0;
  }
  takeRecordedText(&record, recordedText(text));
  recorded->groups.push_back(std::move(record));
  return 0;
}

// One line of the file, as "Writing <%s>" traces it.
bool writeLine(std::FILE* file, const std::string& line) {
  TRC(TRC_DETAIL, "Writing <%s>", line.c_str());
  int wrote = std::fputs(line.c_str(), file);
  if (wrote >= 0) return true;
  TRC(TRC_ERROR, "Error: errno=%d wrote=%d writing <%s>", errno, wrote, line.c_str());
  return false;
}

std::string groupLine(const char* version, const checksumInfo& group) {
  return std::string(version) + " " + group.attrGroup + " " + std::to_string(group.checksum) + " <" + group.attrInfo +
         ">\n";
}

std::string helpLine(const std::string& helpInfo) {
  uint16_t checksum = ZEV0_ComputeCheckSum(helpInfo.data(), static_cast<int32_t>(helpInfo.size()));
  return std::string(kHelpMark) + " " + std::to_string(checksum) + " <" + helpInfo + ">\n";
}

}  // namespace

int readDefinitionWorkFile(std::FILE* file, const char* fileName, int maxGroups, recordedDefinition* recorded) {
  char* buffer = nullptr;
  size_t capacity = 0;
  int result = 0;
  ssize_t read;
  while (result == 0 && (read = getline(&buffer, &capacity, file)) >= 0) {
    std::string_view line(buffer, static_cast<size_t>(read));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    std::string_view first;
    // A blank line (a hand-written file) holds nothing to compare.
    if (!nextBlankToken(&line, &first)) continue;
    // A line that holds the mark anywhere is taken for the help line; one that does not
    // begin with it is a damaged file.
    if (std::string_view(buffer, static_cast<size_t>(read)).find(kHelpMark) != std::string_view::npos) {
      TRC(TRC_DETAIL, "HelpText record<%.*s>", static_cast<int>(read), buffer);
      result = readHelpLine(first, line, fileName, recorded);
      break;
    }
    result = readGroupLine(first, line, fileName, maxGroups, recorded);
  }
  std::free(buffer);
  return result;
}

int writeDefinitionWorkFile(const char* fileName, const char* version, const checksumInfo* groups, int groupCount,
                            const std::string& helpInfo) {
  TRC(TRC_DETAIL, "Saving into file <%s> version <%s>", fileName, version);
  std::FILE* file = std::fopen(fileName, "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Error: Unable to open %s file.", fileName);
    return 1;
  }
  bool written = true;
  for (int i = 0; i < groupCount && written; ++i) written = writeLine(file, groupLine(version, groups[i]));
  if (written) written = writeLine(file, helpLine(helpInfo));
  if (std::fclose(file) != 0 && written) {
    TRC(TRC_ERROR, "Error: errno=%d closing %s file.", errno, fileName);
    written = false;
  }
  return written ? 0 : 1;
}
