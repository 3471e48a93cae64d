#include "excluded_interface_types.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "debug_switches.h"
#include "metafile_text.h"
#include "network_file_fields.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

constexpr int kDefaultExcluded[] = {23, 24, 28};

std::once_flag excludeListRead;
zevs::ExcludedTypes excludeArray{};

void ReadExcludeFile() {
  excludeArray = zevs::DefaultExcludedTypes();
  char* path = ZEV0_ConstructFullyQualifiedName(nullptr, "ZEVSEXIF");
  if (path == nullptr) return;
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "*** Exclude list file %s open failed. ErrorText <%s>. Default values used", path,
        std::strerror(errno));
  } else {
    zevs::ReadExcludedTypes(file, &excludeArray);
    std::fclose(file);
  }
  ZEV0_FreeStorage(&path);
}

}  // namespace

namespace zevs {

ExcludedTypes DefaultExcludedTypes() {
  ExcludedTypes excluded{};
  for (int type : kDefaultExcluded) excluded[static_cast<size_t>(type)] = true;
  return excluded;
}

void ReadExcludedTypes(FILE* file, ExcludedTypes* excluded) {
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, kExcludeFileLineMax, &tooLong)) {
    if (tooLong) {
      TRC(TRC_ERROR, "***** Exclude list record longer than %d characters ignored", static_cast<int>(kExcludeFileLineMax));
      continue;
    }
    if (!line.empty() && line[0] == '*') continue;
    const std::vector<std::string> words = zevp::Words(line);
    int64_t type = 0;
    if (words.size() < 2 || !ParseWholeNumber(words[0], 0, kInterfaceTypes - 1, &type)) {
      ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Exclude list record ignored: %s", line.c_str());
      continue;
    }
    (*excluded)[static_cast<size_t>(type)] = std::toupper(static_cast<unsigned char>(words[1][0])) == 'E';
  }
}

}  // namespace zevs

int ZEVS_IsExcludeInterfaceType(int interfaceType) {
  if (interfaceType < 0 || interfaceType >= zevs::kInterfaceTypes) {
    TRC(TRC_ERROR, "*****Error: input interface type %d invalid", interfaceType);
    return 0;
  }
  std::call_once(excludeListRead, ReadExcludeFile);
  return excludeArray[static_cast<size_t>(interfaceType)] ? 1 : 0;
}
