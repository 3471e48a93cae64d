// libFuzzer harness of the file name patterns and the directory entries matched
// against them: the first line of each input is a FILE source's name (a pattern
// prefix{pattern}suffix.extension), each further line the name of an entry of its
// directory. None may crash or read out of its texts.
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "file_name_pattern.h"
#include "file_pattern_control_block.h"
#include "source_entry.h"
#include "stdout_silenced.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  static StdoutSilenced silenced;  // the validation messages of bad patterns
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t lineEnd = input.find('\n');
  std::string name = input.substr(0, lineEnd);
  if (name.find('\0') != std::string::npos) return 0;
  SourceEntry source;
  std::memset(&source, 0, sizeof source);
  source.SourceName = name.data();
  if (ZEVP_InitializeFileSpecControl(&source) != 1) return 0;
  zevp::PatternMatch best;
  size_t position = lineEnd;
  while (position != std::string::npos && source.FileSpec->PatternFlag != 0) {
    size_t next = input.find('\n', position + 1);
    std::string entry = input.substr(position + 1, next == std::string::npos ? std::string::npos : next - position - 1);
    zevp::PatternMatch match;
    if (zevp::MatchMonitorFileName(*source.FileSpec, entry, &match)) zevp::IsNewerMatch(match, best);
    position = next;
  }
  ZEVP_ReleaseFileSpecControl(&source);
  return 0;
}
