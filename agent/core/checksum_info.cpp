#include "checksum_info.h"

#include <cstring>

#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

void recordAtomicMark(checksumInfo* record, int position, int* marks) {
  if (*marks < checksumInfo::kMaxAtomicMarks) record->atomicOffsets[*marks] = position;
  ++*marks;
}

uint16_t markCount(int marks) { return static_cast<uint16_t>(marks < UINT16_MAX ? marks : UINT16_MAX); }

std::string withoutAtomicMarks(std::string_view text) {
  std::string unmarked;
  unmarked.reserve(text.size());
  for (char c : text)
    if (c != '$') unmarked.push_back(c);
  return unmarked;
}

}  // namespace

char checksumSampleLetter(std::string_view sampleTypeField) {
  if (sampleTypeField == "S" || sampleTypeField == "K" || sampleTypeField == "N") return 'P';
  return sampleTypeField.empty() ? '?' : sampleTypeField.front();
}

bool setChecksumGroup(checksumInfo* record, std::string_view attrGroup) {
  if (attrGroup.empty() || attrGroup.size() > checksumInfo::kMaxAttrGroup) return false;
  std::memcpy(record->attrGroup, attrGroup.data(), attrGroup.size());
  record->attrGroup[attrGroup.size()] = '\0';
  return true;
}

void takeAttributeBlock(checksumInfo* record, std::string_view block) {
  std::string letter{record->sampleType, ','};
  if (block.find_first_of("@$") == std::string_view::npos) {
    record->attrInfo = letter.append(block);
  } else {
    std::string keyless;
    keyless.reserve(block.size());
    int marks = 0;
    for (char c : block) {
      if (c == '@') continue;
      if (c == '$') recordAtomicMark(record, static_cast<int>(keyless.size()), &marks);
      keyless.push_back(c);
    }
    TRC(TRC_DETAIL, "attrInfoWithoutKey now equals <%s>", keyless.c_str());
    record->atomicCount = markCount(marks);
    if (marks != 0) {
      TRC(TRC_DETAIL, "%d atomic attribute(s) were found", marks);
      for (int i = 0; i < record->recordedAtomicMarks(); ++i)
        TRC(TRC_DETAIL, "Found atomic attribute indicator at offset: %d array index: %d tok <%s>",
            record->atomicOffsets[i], i, keyless.c_str() + record->atomicOffsets[i]);
      record->attrInfoWithoutAtomic = letter + withoutAtomicMarks(keyless);
      TRC(TRC_DETAIL, "attrInfoWithoutAtomic now equals <%s>", record->attrInfoWithoutAtomic.c_str());
    }
    record->attrInfo = letter.append(keyless);
  }
  const std::string& unmarked = record->unmarkedText();
  record->length = static_cast<int32_t>(unmarked.size());
  TRC(TRC_DETAIL, "Calling ComputeCheckSum with length: %d strlen: %d attrInfo <%s>", record->length,
      static_cast<int>(std::strlen(unmarked.c_str())), unmarked.c_str());
  record->checksum = ZEV0_ComputeCheckSum(unmarked.data(), record->length);
  TRC(TRC_DETAIL, "Calculated checksum: %d", record->checksum);
}

void takeRecordedText(checksumInfo* record, std::string_view recordedText) {
  record->attrInfo.assign(recordedText);
  // The marks are counted in the block, after the sample-type letter and its comma.
  std::string_view block = recordedText.substr(recordedText.size() < 2 ? recordedText.size() : 2);
  int marks = 0;
  for (size_t i = 0; i < block.size(); ++i)
    if (block[i] == '$') recordAtomicMark(record, static_cast<int>(i), &marks);
  record->atomicCount = markCount(marks);
  record->length = static_cast<int32_t>(recordedText.size()) - marks;
}

void computePartialChecksum(checksumInfo* recorded, int index, const checksumInfo& current) {
  const std::string& text = current.unmarkedText();
  if (static_cast<size_t>(recorded->length) != text.size())
    TRC(TRC_ERROR, "Warning: attrGroup <%s> fileChecksumInfo[%i]->length: %d attrInfo length: %d", recorded->attrGroup,
        index, recorded->length, static_cast<int>(text.size()));
  recorded->partialComputed = static_cast<size_t>(recorded->length) <= text.size();
  if (!recorded->partialComputed) return;
  recorded->partialChecksum = ZEV0_ComputeCheckSum(text.data(), recorded->length);
  TRC(TRC_DETAIL, "Computing partial checksum: %d<%-*.*s>", recorded->partialChecksum, recorded->length,
      recorded->length, text.c_str());
}

int groupChangeLevel(const checksumInfo& recorded, const checksumInfo& current, const char* version) {
  // The 16-bit checksum cannot tell two neighbouring records of one even length from the
  // same two swapped: the recorded text settles what the checksum leaves open.
  std::string recordedText = withoutAtomicMarks(recorded.attrInfo);
  const std::string& currentText = current.unmarkedText();
  if (recorded.checksum == current.checksum && recordedText == currentText) {
    bool atomicChanged = recorded.atomicCount != current.atomicCount;
    for (int i = 0; !atomicChanged && i < recorded.recordedAtomicMarks(); ++i) {
      TRC(TRC_DETAIL, "Comparing atomic attribute offset %d against %d", recorded.atomicOffsets[i],
          current.atomicOffsets[i]);
      atomicChanged = recorded.atomicOffsets[i] != current.atomicOffsets[i];
    }
    if (atomicChanged) {
      TRC(TRC_DETAIL, "Note: atomic attributes have changed in attrGroup<%s> for version %s", current.attrGroup,
          version);
      return 1;
    }
    if (recorded.atomicCount == 0)
      TRC(TRC_DETAIL, "attrGroup<%s> attributes for version %s have not changed.", current.attrGroup, version);
    return 0;
  }
  TRC(TRC_DETAIL, "Note: attrGroup<%s> attributes for version %s have changed.", current.attrGroup, version);
  // The recorded text is the unchanged beginning of the current one: attributes were only appended.
  if (recorded.partialComputed && recorded.checksum == recorded.partialChecksum &&
      currentText.compare(0, recordedText.size(), recordedText) == 0) {
    TRC(TRC_DETAIL, "Only the mm part of vv.rr.mm has changes.");
    return 1;
  }
  TRC(TRC_DETAIL, "The rr part of vv.rr.mm has changes.");
  return 2;
}
