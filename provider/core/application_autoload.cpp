// The application auto-load: without a start-up configuration file, every metafile
// of the metafile directory is loaded.
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include "dp_anchor.h"
#include "hqn.h"
#include "metafile_parser.h"
#include "startup_config.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr size_t kWorkingDirectoryLength = 256;

bool EqualsUpper(const std::string& text, const char* upper) {
  if (text.size() != std::strlen(upper)) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
  return true;
}

// In the current directory only metafiles by their names: an extension MDL, or
// no extension and none of the names of the agent's own files.
bool LooksLikeMetafile(const std::string& name) {
  size_t dot = name.find('.');
  if (dot != std::string::npos) return EqualsUpper(name.substr(dot + 1), "MDL");
  if (name.compare(0, 3, "ZEV") == 0 || name.compare(0, 3, "zev") == 0) return false;
  std::string kind = name.size() > 3 ? name.substr(3, 3) : std::string();
  return kind != "ATR" && kind != "CAT" && kind != "atr" && kind != "cat";
}

}  // namespace

void ZEVP_DoApplicationAutoLoad(DPAB* anchor) {
  std::string directory;
  if (anchor->metafileDirectory != nullptr) {
    directory = anchor->metafileDirectory;
  } else {
    char current[kWorkingDirectoryLength];
    if (getcwd(current, sizeof current) == nullptr) {
      TRC(TRC_ERROR, "*** No valid current directory. Exit");
      return;
    }
    directory = current;
  }
  TRC(TRC_DETAIL, "Checking for metafiles in directory %s", directory.c_str());
  HQN_Directory* handle = nullptr;
  int status = hqnqpopd(directory.c_str(), 'R', &handle);
  if (status != 0) {
    TRC(TRC_ERROR, "Metafile directory %s open failed. STC1 status %d", directory.c_str(), status);
    return;
  }
  char field[HQN_ENTRY_NAME_FIELD];
  while (hqnqprdd(handle, field, nullptr) == 0) {
    std::string name = field;
    name.erase(name.find_last_not_of(" \t") + 1);
    if (name.empty()) continue;
    TRC(TRC_DETAIL, "Processing directory entry %s", name.c_str());
    if (anchor->metafileDirectory != nullptr) {
      name = anchor->metafileDirectory + name;
    } else if (LooksLikeMetafile(name)) {
      // The entry of the current directory, by its full name: the metafile open
      // looks for a name without a path elsewhere.
      name = directory + "/" + name;
    } else {
      continue;
    }
    ZEVP_ConstructApplDataModel(anchor, name.c_str(), 0, nullptr, nullptr, 1, 0);
  }
  hqnqpcld(handle);
}
