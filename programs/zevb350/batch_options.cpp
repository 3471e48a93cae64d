#include "batch_options.h"

#include <cctype>

#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace zevb350 {

namespace {

// The value of the option at `index`: the next argument unless it is an option.
bool TakeValue(const std::vector<std::string>& arguments, size_t* index, std::string* value) {
  size_t next = *index + 1;
  if (next >= arguments.size() || (!arguments[next].empty() && arguments[next][0] == '-')) return false;
  *value = arguments[next];
  *index = next;
  return true;
}

}  // namespace

BatchOptions ParseBatchOptions(const std::vector<std::string>& arguments) {
  TRC(TRC_DETAIL, "Input parameters:");
  for (size_t n = 0; n < arguments.size(); ++n) TRC(TRC_DETAIL, "%d - {%s}", static_cast<int>(n + 1), arguments[n].c_str());
  BatchOptions options;
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (argument.size() < 2 || argument[0] != '-') continue;
    switch (std::toupper(static_cast<unsigned char>(argument[1]))) {
      case 'E':
        if (!TakeValue(arguments, &index, &options.environmentFile)) TRC(TRC_ERROR, "ENV File not specified with -E switch");
        break;
      case 'M':
        if (!TakeValue(arguments, &index, &options.metafile)) TRC(TRC_ERROR, "Metafile name not specified with -M switch");
        break;
      case 'F':
        if (!TakeValue(arguments, &index, &options.outputFile))
          TRC(TRC_ERROR, "Batch output file name not specified with -F switch");
        break;
      case 'S':
        ZEV0_PutEnv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY=Y");
        break;
      case 'A':
        ZEV0_PutEnv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES=Y");
        break;
      default:
        break;
    }
  }
  return options;
}

}  // namespace zevb350
