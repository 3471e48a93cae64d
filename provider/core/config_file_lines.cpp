#include "config_file_lines.h"

#include "trc1.h"

TRC_UNIT();

namespace zevp {

bool ReadConfigLine(FILE* file, std::string* line) {
  line->clear();
  bool any = false;
  bool cut = false;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (line->size() + 1 < ZEVP_CONFIG_RECORD_SIZE) {
      line->push_back(static_cast<char>(c));
    } else if (c != '\n') {
      cut = true;
    }
    if (c == '\n') break;
  }
  if (cut) TRC(TRC_ERROR, "***** Start-up configuration record longer than %d bytes cut", static_cast<int>(ZEVP_CONFIG_RECORD_SIZE - 1));
  return any;
}

}  // namespace zevp
