// The checksum record of one attribute group: what the version of an application is
// decided on. One record per group of the current registration, and one per group line
// of the definition work file (the previous build).
//
// The checksum covers the sample-type letter and the group's attribute block with its
// key marks "@" and atomic marks "$" taken out, so that a key mark never changes a
// version; the atomic marks are compared by their positions instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct checksumInfo {
  static constexpr int kMaxAtomicMarks = 127;
  static constexpr size_t kMaxAttrGroup = 32;

  char sampleType = '?';
  char attrGroup[kMaxAttrGroup + 1] = {};
  // The sample-type letter, ",", and the group's block (its name, ",", its attribute
  // records) without "@": as the work file records it.
  std::string attrInfo;
  // attrInfo without "$" as well; only when there are atomic marks.
  std::string attrInfoWithoutAtomic;
  // Characters the checksum covers: attrInfo less its "$" marks.
  int32_t length = 0;
  uint16_t checksum = 0;
  // Work-file records only: the checksum of the current text's first `length`
  // characters, and whether the current text is that long at all.
  uint16_t partialChecksum = 0;
  bool partialComputed = false;
  // Every "$" counts; the first kMaxAtomicMarks positions (in the "@"-free block,
  // earlier "$" marks included) are recorded.
  uint16_t atomicCount = 0;
  int32_t atomicOffsets[kMaxAtomicMarks] = {};

  // The text the checksum covers.
  const std::string& unmarkedText() const { return atomicCount != 0 ? attrInfoWithoutAtomic : attrInfo; }
  int recordedAtomicMarks() const { return atomicCount < kMaxAtomicMarks ? atomicCount : kMaxAtomicMarks; }
};

// The letter a sample-type field is checksummed under: "S", "K" and "N" keep their rows
// the same way and are one letter, 'P'; any other field gives its first character.
char checksumSampleLetter(std::string_view sampleTypeField);

// Copies the group name, at most kMaxAttrGroup characters. False when it does not fit.
bool setChecksumGroup(checksumInfo* record, std::string_view attrGroup);

// Fills the record of a current group from its attribute block (name, ",", attribute
// records), the sample-type letter being set: text, atomic marks, length, checksum.
void takeAttributeBlock(checksumInfo* record, std::string_view block);

// Fills a work-file record from its recorded text ("<" and ">" taken off): atomic marks
// (after the sample-type letter and its comma) and length. The checksum is the
// recorded one.
void takeRecordedText(checksumInfo* record, std::string_view recordedText);

// The checksum of the current text's first `recorded->length` characters. A current
// text shorter than that cannot begin with the recorded one: nothing is computed then.
// index: the record's place in the work file, for the trace.
void computePartialChecksum(checksumInfo* recorded, int index, const checksumInfo& current);

// How much a group changed since the work file recorded it: 0 nothing, 1 only the
// modification part, 2 the release. Traced with the group and the recorded version.
int groupChangeLevel(const checksumInfo& recorded, const checksumInfo& current, const char* version);
