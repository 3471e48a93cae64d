// Deciding an application's version: its definition texts fetched from the DCH server,
// checksummed per attribute group, and compared with the definition work file.
#include <algorithm>
#include <cstdlib>

#include "dch/dch_api.h"
#include "definition_version.h"
#include "definition_work_file.h"
#include "field_walk.h"
#include "fixed_text.h"
#include "trc1.h"
#include "user_data_list.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

enum ChangeLevel { kUnchanged = 0, kModification = 1, kRelease = 2 };

using GetVerb = int (*)(int*, char**, const char*, short);

// One definition text into storage of the caller's; false (traced) when it did not come.
bool fetchText(GetVerb verb, const char* verbName, const char* applName, std::string* text) {
  int length = 0;
  char* buffer = nullptr;
  int status = verb(&length, &buffer, applName, 0);
  bool fetched = status == 0 && buffer != nullptr && length >= 0;
  if (fetched)
    text->assign(buffer, static_cast<size_t>(length));
  else
    TRC(TRC_ERROR, "Error: %s<%s> failed", verbName, applName);
  std::free(buffer);
  return fetched;
}

}  // namespace

int userDataList::calculateChecksum() {
  if (fetchDefinitionTexts() != 0 || takeApplInfoRecords() != 0) {
    errors_ = 1;
    return 0;
  }
  takeAttributeBlocks();
  TRC(TRC_DETAIL, "Opening _workFile <%s>", workFileName_);
  std::FILE* workFile = std::fopen(workFileName_, "re");
  int mustWrite = 1;
  if (workFile == nullptr) {
    TRC(TRC_DETAIL, "Initial creation of catalog/attribute tables for applName <%s>", applName_);
    copyIfFits(cvrm_, kInitialVersion);
    copyIfFits(lvrm_, kInitialVersion);
    copyIfFits(priorVRM_, kInitialVersion);
  } else {
    TRC(TRC_DETAIL, "File <%s> already exists for applName <%s>", workFileName_, applName_);
    mustWrite = compareWithWorkFile(workFile);
    TRC(TRC_DETAIL, "Closing _workFile <%s>", workFileName_);
    std::fclose(workFile);
  }
  if (errors_ != 0) return 0;
  releaseOfVersion(cvrm_, RR_);
  return mustWrite;
}

int userDataList::fetchDefinitionTexts() {
  if (!fetchText(dc_getApplications, "dc_getApplications", applName_, &applInfo_)) return 1;
  if (!fetchText(dc_getApplAttributes, "dc_getApplAttributes", applName_, &attrInfo_)) return 1;
  if (!fetchText(dc_getApplHelp, "dc_getApplHelp", applName_, &helpInfo_)) return 1;
  return 0;
}

// Record i of the application information ("GROUP,TYPE,TTL") into checksum record i.
int userDataList::takeApplInfoRecords() {
  FieldWalk records(applInfo_);
  std::string_view piece;
  if (!records.next(',', &piece) || records.rest().empty()) {
    TRC(TRC_ERROR, "Error: applName token missing");
    return 1;
  }
  noOfAttrGroups_ = 0;
  while (records.next(':', &piece)) {
    if (piece.empty()) continue;
    if (piece.front() == ';') break;
    if (noOfAttrGroups_ == maxAttrGroups_) {
      TRC(TRC_ERROR, "Error: application <%s> has more than %d attribute groups: raise ZEVA_MAX_ATTRGROUPS_PER_APPL",
          applName_, maxAttrGroups_);
      return 1;
    }
    checksumInfo& record = checksumInfo_.makeNext();
    FieldWalk fields(piece);
    std::string_view group, sampleType, TTL;
    if (!fields.next(',', &group) || !setChecksumGroup(&record, group)) {
      TRC(TRC_ERROR, "Error: checksum - attrGroup token missing");
      return 1;
    }
    if (!fields.next(',', &sampleType) || sampleType.empty()) {
      TRC(TRC_ERROR, "Error: checksum - sampleType token missing");
      return 1;
    }
    record.sampleType = checksumSampleLetter(sampleType);
    if (!fields.next(',', &TTL) || TTL.empty()) {
      TRC(TRC_ERROR, "Error: checksum - TTL token missing");
      return 1;
    }
    ++noOfAttrGroups_;
  }
  TRC(TRC_DETAIL, "No more attribute groups. %d set(s) processed.", noOfAttrGroups_);
  return 0;
}

// Block i of the attribute information ("GROUP,records") goes with checksum record i.
void userDataList::takeAttributeBlocks() {
  FieldWalk blocks(attrInfo_);
  std::string_view block;
  for (int i = 0; i < noOfAttrGroups_ && blocks.next(';', &block); ++i) takeAttributeBlock(&checksumInfo_[i], block);
}

// The version from what changed since the work file was written: 1 when something did.
int userDataList::compareWithWorkFile(std::FILE* workFile) {
  recordedDefinition recorded;
  if (readDefinitionWorkFile(workFile, workFileName_, maxAttrGroups_, &recorded) != 0) {
    errors_ = 1;
    return 0;
  }
  if (recorded.version[0] == '\0') {
    // Nothing to compare with: as for a new application.
    TRC(TRC_ERROR, "Warning: no attribute group in workfile <%s>", workFileName_);
    copyIfFits(cvrm_, kInitialVersion);
    copyIfFits(lvrm_, kInitialVersion);
    copyIfFits(priorVRM_, kInitialVersion);
    return 1;
  }
  copyIfFits(priorVRM_, recorded.version);
  if (!recorded.helpLine) TRC(TRC_DETAIL, "Note: AttrGroup<%s> has been added", applName_);
  int level = kUnchanged;
  int index = 0;
  for (checksumInfo& group : recorded.groups) {
    if (index < noOfAttrGroups_) {
      computePartialChecksum(&group, index, checksumInfo_[index]);
      level = std::max(level, groupChangeLevel(group, checksumInfo_[index], recorded.version));
    } else {
      TRC(TRC_DETAIL, "Note: [%d] attrGroup[%s] from previous registration removed.", index, group.attrGroup);
      level = kRelease;
    }
    ++index;
  }
  if (recorded.groupsBeyond != 0) {
    TRC(TRC_DETAIL, "Note: %d attrGroup(s) from previous registration removed.", recorded.groupsBeyond);
    level = kRelease;
  }
  if (level <= kModification && !recorded.helpLine) level = kModification;
  if (level == kUnchanged) {
    savedHelpChecksum_ = recorded.helpChecksum;
    newHelpChecksum_ = ZEV0_ComputeCheckSum(helpInfo_.data(), static_cast<int32_t>(helpInfo_.size()));
    TRC(TRC_DETAIL, "HelpText Checksum: saved=%d new=%d", savedHelpChecksum_, newHelpChecksum_);
    if (newHelpChecksum_ != savedHelpChecksum_) {
      TRC(TRC_DETAIL, "Note: HelpText for version %s have changed.", recorded.version);
      level = kModification;
    }
  }
  if (level == kUnchanged) {
    copyIfFits(cvrm_, recorded.version);
    copyIfFits(lvrm_, recorded.version);
    return 0;
  }
  char newVersion[sizeof cvrm_] = {};
  TRC(TRC_DETAIL, level == kModification ? "Calling incrementVersion for a modification change."
                                         : "Calling incrementVersion for a release change.");
  incrementVersion(recorded.version, newVersion, level == kModification ? 'M' : 'R');
  if (errors_ != 0) return 0;
  copyIfFits(cvrm_, newVersion);
  copyIfFits(lvrm_, newVersion);
  TRC(TRC_DETAIL, "Generating new CAT & ATR with version %s for application <%s>", cvrm_, applName_);
  return 1;
}
