// The file name of a FILE source: a plain name, or path/prefix{pattern}suffix.ext.
#include <cstring>
#include <string>

#include "file_pattern_control_block.h"
#include "metafile_numbers.h"
#include "metafile_text.h"
#include "source_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr size_t npos = std::string::npos;

// Stores text in new storage and its length; an empty text stores nothing.
void setPart(const std::string& text, char** part, int32_t* length) {
  if (text.empty()) return;
  *part = zevp::NewStorageText(text);
  if (length != nullptr) *length = static_cast<int32_t>(text.size());
}

int32_t switchCheckInterval() {
  const char* value = ZEV0_GetEnv("ZEVP_DP_FILE_SWITCH_CHECK_INTERVAL", nullptr);
  bool hasDigits = false;
  int32_t seconds = zevp::DecimalValue(value, &hasDigits);
  return hasDigits && seconds > 0 ? seconds : ZEVP_DEFAULT_FILE_SWITCH_CHECK_INTERVAL;
}

// Counts the numeric (#, Y, M, D) and character (?) positions of the pattern; false
// for any other character.
bool readPattern(FileSpecControlBlock* block, const std::string& pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (std::strchr("#YMD", c) != nullptr) {
      if (block->NumericLength++ == 0) block->NumericOffset = static_cast<int32_t>(i);
    } else if (c == '?') {
      if (block->CharLength++ == 0) block->CharOffset = static_cast<int32_t>(i);
    } else {
      return false;
    }
  }
  return true;
}

// Splits path/prefix{pattern}suffix.ext into the block; false after the message.
bool readNamePattern(FileSpecControlBlock* block, const std::string& name) {
  size_t open = name.find('{');
  size_t close = name.find('}');
  if (open == npos || close == npos || close < open) {
    ZEVP_DisplayValidationMessage(ZEVPV79E, (open != npos ? name.substr(open) : name).c_str());
    return false;
  }
  std::string pattern = name.substr(open + 1, close - open - 1);
  std::string after = name.substr(close + 1);
  size_t dot = after.find('.');
  std::string suffix = dot == npos ? after : after.substr(0, dot);
  if (dot != npos) {
    std::string extension = after.substr(dot + 1);
    extension = extension.substr(0, extension.find(' '));
    if (extension.size() > 1 && extension.find('*') != npos) {
      ZEVP_DisplayValidationMessage(ZEVPV80E, extension.c_str());
      return false;
    }
    block->WildcardExtension = extension == "*" ? 1 : 0;
    setPart(extension, &block->Extension, &block->ExtensionLength);
  }
  std::string before = name.substr(0, open);
  size_t slash = before.rfind('/');
  std::string prefix = slash == npos ? before : before.substr(slash + 1);
  if (slash != npos) setPart(before.substr(0, slash + 1), &block->FilePathSpec, nullptr);
  if (!readPattern(block, pattern)) {
    ZEVP_DisplayValidationMessage(ZEVPV81E, pattern.c_str());
    return false;
  }
  setPart(pattern, &block->Pattern, &block->PatternLength);
  setPart(prefix, &block->Prefix, &block->PrefixLength);
  setPart(suffix, &block->Suffix, &block->SuffixLength);
  block->CriteriaLength = block->PrefixLength + block->PatternLength + block->SuffixLength;
  block->PatternFlag = 1;
  return true;
}

}  // namespace

int ZEVP_InitializeFileSpecControl(SourceEntry* source) {
  if (source == nullptr || source->SourceName == nullptr) return 0;
  auto* block = static_cast<FileSpecControlBlock*>(ZEV0_GetStorage(sizeof(FileSpecControlBlock)));
  if (block == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for FileSpecControlBlock of %s", source->SourceName);
    return 0;
  }
  std::memset(block, 0, sizeof *block);
  source->FileSpec = block;
  block->SwitchCheckInterval = switchCheckInterval();
  std::string name = source->SourceName;
  if (name.find('{') == npos && name.find('}') == npos) {
    block->CurrentSpecFileName = zevp::NewStorageText(name);
    return 1;
  }
  if (!readNamePattern(block, name)) {
    ZEVP_ReleaseFileSpecControl(source);
    return 0;
  }
  return 1;
}

void ZEVP_ReleaseFileSpecControl(SourceEntry* source) {
  FileSpecControlBlock* block = source != nullptr ? source->FileSpec : nullptr;
  if (block == nullptr) return;
  if (block->CurrentSpecFileName != nullptr)
    TRC(TRC_STORAGE, "Freeing CurrentSpecFileName @%p", static_cast<void*>(block->CurrentSpecFileName));
  ZEV0_FreeStorage(&block->CurrentSpecFileName);
  if (block->FilePathSpec != nullptr)
    TRC(TRC_STORAGE, "Freeing FilePathSpec @%p", static_cast<void*>(block->FilePathSpec));
  ZEV0_FreeStorage(&block->FilePathSpec);
  while (SelectedFileEntry* selected = block->SpecSelectedFileList) {
    block->SpecSelectedFileList = selected->next;
    ZEV0_FreeStorage(&selected);
  }
  ZEV0_FreeStorage(&block->Extension);
  ZEV0_FreeStorage(&block->Pattern);
  ZEV0_FreeStorage(&block->Prefix);
  ZEV0_FreeStorage(&block->Suffix);
  TRC(TRC_STORAGE, "Freeing FileSpecControlBlock @%p", static_cast<void*>(block));
  ZEV0_FreeStorage(&source->FileSpec);
}
