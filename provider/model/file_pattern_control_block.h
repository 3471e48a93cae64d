// The file name or file name pattern of a FILE source, which the file input
// watches. A pattern is written prefix{pattern}suffix.extension, where the
// pattern holds numeric positions (#, Y, M, D) and character positions (?).
//
// The copy or tail mode of the file lives in the source's IOEntry.
#pragma once

#include <cstdint>

struct ProcessEntry;
struct SourceEntry;

// The path and name fields of the file input.
constexpr int32_t ZEVP_FILE_NAME_FIELD = 512;

// One file of a pattern that matched in all-match mode, waiting its turn; an entry
// whose name is empty marks the end of the queue.
struct SelectedFileEntry {
  char FileName[ZEVP_FILE_NAME_FIELD];  // path and name
  SelectedFileEntry* next;
};

// Seconds between checks for a newer file that matches the pattern.
constexpr int32_t ZEVP_DEFAULT_FILE_SWITCH_CHECK_INTERVAL = 600;

struct FileSpecControlBlock {
  int32_t PatternFlag;
  ProcessEntry* FileServer;
  char* FilePathSpec;  // the directory part ending in '/', or null
  char* Extension;     // null: none; "*": any
  int32_t ExtensionLength;
  int32_t WildcardExtension;
  char* Pattern;
  int32_t PatternLength;
  char* Prefix;
  int32_t PrefixLength;
  char* Suffix;
  int32_t SuffixLength;
  int32_t CriteriaLength;  // prefix, pattern and suffix
  int32_t NumericOffset;   // first of #, Y, M, D in the pattern
  int32_t NumericLength;   // how many of them
  int32_t CharOffset;      // first ? in the pattern
  int32_t CharLength;      // how many ?
  char* CurrentSpecFileName;  // the file in use; a plain name is its own
  int64_t NextSwitchCheck;
  int32_t SwitchCheckInterval;
  SelectedFileEntry* SpecSelectedFileList;  // all-match mode: the files still to monitor
  uint16_t IdentityCheckSum;
};

// Builds the block from the source's name and attaches it: 1, or 0 after a
// validation message (nothing is left attached).
int ZEVP_InitializeFileSpecControl(SourceEntry* source);

// Frees the source's block with its texts and clears the link; nothing without one.
void ZEVP_ReleaseFileSpecControl(SourceEntry* source);
