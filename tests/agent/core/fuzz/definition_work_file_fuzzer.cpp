// libFuzzer harness of the definition work file: whatever the file holds, the reader keeps
// at most the records it was given room for, no record claims more text than it has, and
// comparing a record with a current group gives a change level of 0, 1 or 2 without
// reading past either text.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "checksum_info.h"
#include "definition_work_file.h"

namespace {

constexpr int kMaxGroups = 4;

checksumInfo CurrentGroup() {
  checksumInfo current;
  current.sampleType = 'P';
  setChecksumGroup(&current, "G1");
  takeAttributeBlock(&current, "G1,@$K,S,4:N,D,16:");
  return current;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;
  recordedDefinition recorded;
  int result = readDefinitionWorkFile(file, "fuzz", kMaxGroups, &recorded);
  std::fclose(file);
  if (result != 0 && result != 1) __builtin_trap();
  if (recorded.groups.size() > static_cast<size_t>(kMaxGroups)) __builtin_trap();
  static const checksumInfo current = CurrentGroup();
  int index = 0;
  for (checksumInfo& group : recorded.groups) {
    if (group.length < 0 || static_cast<size_t>(group.length) > group.attrInfo.size()) __builtin_trap();
    computePartialChecksum(&group, index++, current);
    int level = groupChangeLevel(group, current, recorded.version);
    if (level < 0 || level > 2) __builtin_trap();
  }
  return 0;
}
