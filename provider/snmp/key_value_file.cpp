#include "key_value_file.h"

#include <map>
#include <mutex>

#include "trc1.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace zevp {

bool SplitKeyValueLine(const std::string& line, std::string* key, std::string* value) {
  if (!line.empty() && line[0] == '*') return false;
  const size_t keyStart = line.find_first_not_of(' ');
  if (keyStart == std::string::npos) return false;
  const size_t keyEnd = line.find(' ', keyStart);
  if (keyEnd == std::string::npos) return false;
  const size_t valueStart = line.find_first_not_of(' ', keyEnd);
  if (valueStart == std::string::npos) return false;
  const size_t valueEnd = line.find(' ', valueStart);
  *key = line.substr(keyStart, keyEnd - keyStart);
  *value = line.substr(valueStart, valueEnd == std::string::npos ? std::string::npos : valueEnd - valueStart);
  return true;
}

int ForEachKeyValueLine(FILE* file, const char* label,
                        const std::function<void(const std::string& key, const std::string& value)>& take) {
  int lines = 0;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, kKeyValueLineMax, &tooLong)) {
    ++lines;
    if (tooLong) {
      TRC(TRC_ERROR, "***** %s record %d longer than %d characters ignored", label, lines,
          static_cast<int>(kKeyValueLineMax));
      continue;
    }
    std::string key;
    std::string value;
    if (SplitKeyValueLine(line, &key, &value)) take(key, value);
  }
  return lines;
}

const char* KeyValueFileName(int item) {
  static std::mutex made;
  static std::map<int, std::string> names;
  const char* name = ZEV0_QueryProductSpec(item);
  if (name == nullptr || *name == '\0') return nullptr;
  std::lock_guard<std::mutex> hold(made);
  auto known = names.find(item);
  if (known == names.end()) {
    char* full = ZEV0_ConstructFullyQualifiedName(nullptr, name);
    if (full == nullptr) return nullptr;
    known = names.emplace(item, full).first;
    ZEV0_FreeStorage(&full);
  }
  return known->second.c_str();
}

}  // namespace zevp
