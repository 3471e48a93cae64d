// The batch program's command line: options of a dash and one letter, either case,
// a value being the next argument unless that begins with '-'.
#pragma once

#include <string>
#include <vector>

namespace zevb350 {

struct BatchOptions {
  std::string environmentFile = "ZEVENV";  // -E
  std::string outputFile;                  // -F, empty when not given
  std::string metafile;                    // -M, empty when not given
};

// The options of the arguments (the program's name left out), traced. -S and -A
// set their switches at once; other letters and words without a dash are ignored,
// and an option given twice takes its last value.
BatchOptions ParseBatchOptions(const std::vector<std::string>& arguments);

}  // namespace zevb350
