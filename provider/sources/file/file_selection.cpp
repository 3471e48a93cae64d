#include "file_selection.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "bsv1.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "file_name_pattern.h"
#include "file_server_thread.h"
#include "file_pattern_control_block.h"
#include "hqn.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr unsigned kWaitStep = 30;
constexpr size_t kWorkingDirectoryLength = 256;

// A path and name in a new field of the file input, or null (with a trace) when
// it does not fit.
char* NewNameField(const std::string& fullName) {
  if (fullName.size() >= static_cast<size_t>(ZEVP_FILE_NAME_FIELD)) {
    TRC(TRC_ERROR, "***** File name %s longer than %d characters skipped", fullName.c_str(), ZEVP_FILE_NAME_FIELD - 1);
    return nullptr;
  }
  auto* field = static_cast<char*>(ZEV0_GetStorage(ZEVP_FILE_NAME_FIELD));
  if (field == nullptr) return nullptr;
  std::memset(field, 0, ZEVP_FILE_NAME_FIELD);
  std::memcpy(field, fullName.data(), fullName.size());
  return field;
}

void SetCurrent(FileSpecControlBlock* spec, char* name) {
  ZEV0_FreeStorage(&spec->CurrentSpecFileName);
  spec->CurrentSpecFileName = name;
  spec->IdentityCheckSum = 0;
}

// Step 1: the next file of the all-match queue, or none after its end mark.
bool TakeQueuedFile(FileSpecControlBlock* spec) {
  SelectedFileEntry* entry = spec->SpecSelectedFileList;
  if (entry == nullptr) return false;
  spec->SpecSelectedFileList = entry->next;
  if (entry->FileName[0] != '\0') {
    SetCurrent(spec, NewNameField(entry->FileName));
    TRC(TRC_DETAIL, "Monitoring file set to %s from SpecSelectedFile List", entry->FileName);
  } else {
    SetCurrent(spec, nullptr);
  }
  ZEV0_FreeStorage(&entry);
  return true;
}

void Enqueue(FileSpecControlBlock* spec, const std::string& fullName) {
  if (fullName.size() >= static_cast<size_t>(ZEVP_FILE_NAME_FIELD)) return;
  auto* entry = static_cast<SelectedFileEntry*>(ZEV0_GetStorage(sizeof(SelectedFileEntry)));
  if (entry == nullptr) return;
  std::memset(entry, 0, sizeof *entry);
  std::memcpy(entry->FileName, fullName.data(), fullName.size());
  SelectedFileEntry** tail = &spec->SpecSelectedFileList;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = entry;
  if (!fullName.empty()) TRC(TRC_DETAIL, "File %s SSFE added to SpecSelectedFileList", fullName.c_str());
}

// The directory to read: the pattern's path without its final '/', or the
// current working directory; empty when there is none.
std::string TargetDirectory(const FileSpecControlBlock* spec) {
  if (spec->FilePathSpec != nullptr) {
    std::string path = spec->FilePathSpec;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  char current[kWorkingDirectoryLength];
  return getcwd(current, sizeof current) != nullptr ? std::string(current) : std::string();
}

struct DirectoryScan {
  bool opened = false;
  int files = 0;
  int matched = 0;
  std::string best;  // the newest matching name (normal mode)
  zevp::PatternMatch bestMatch;
};

// Reads the directory once: in all-match mode every match joins the queue,
// otherwise the newest is kept.
DirectoryScan ScanDirectory(FileSpecControlBlock* spec, const std::string& directory, bool allMatch) {
  DirectoryScan scan;
  HQN_Directory* handle = nullptr;
  int status = hqnqpopd(directory.c_str(), 'R', &handle);
  if (status != 0) {
    char line[ZEVP_FILE_NAME_FIELD + 64];
    std::snprintf(line, sizeof line, "Monitor file directory %s open failed. STC1 status %d", directory.c_str(),
                  status);
    ZEVP_WriteBatchLog(line);
    TRC(TRC_ERROR, "%s", line);
    return scan;
  }
  scan.opened = true;
  std::string path = spec->FilePathSpec != nullptr ? spec->FilePathSpec : "";
  char field[HQN_ENTRY_NAME_FIELD];
  while (hqnqprdd(handle, field, nullptr) == 0) {
    std::string name = field;
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) continue;
    ++scan.files;
    TRC(TRC_UNIT_DETAIL, "Processing file name %s", name.c_str());
    zevp::PatternMatch match;
    if (!zevp::MatchMonitorFileName(*spec, name, &match)) continue;
    if (path.size() + name.size() >= static_cast<size_t>(ZEVP_FILE_NAME_FIELD)) {
      TRC(TRC_ERROR, "***** File %s%s does not fit %d characters, skipped", path.c_str(), name.c_str(),
          ZEVP_FILE_NAME_FIELD - 1);
      continue;
    }
    ++scan.matched;
    if (allMatch) {
      Enqueue(spec, path + name);
    } else if (scan.best.empty()) {
      TRC(TRC_UNIT_DETAIL, "First matching file %s saved, matching file specification %s", name.c_str(),
          spec->Pattern != nullptr ? spec->Pattern : "");
      scan.best = name;
      scan.bestMatch = match;
    } else if (zevp::IsNewerMatch(match, scan.bestMatch)) {
      TRC(TRC_UNIT_DETAIL, "File %s replacing previous file %s", name.c_str(), scan.best.c_str());
      scan.best = name;
      scan.bestMatch = match;
    } else {
      TRC(TRC_UNIT_DETAIL, "File %s skipped older than previous %s per %s", name.c_str(), scan.best.c_str(),
          match.value < scan.bestMatch.value ? "numeric" : "char");
    }
  }
  hqnqpcld(handle);
  TRC(TRC_DETAIL, "Total of %d files processed", scan.files);
  if (scan.files == 0) TRC(TRC_DETAIL, "No files exist in target directory");
  else if (scan.matched == 0) TRC(TRC_DETAIL, "No file in the target directory satisfies the defined file name criteria");
  return scan;
}

// The newest match becomes the current file.
void SelectFile(FileSpecControlBlock* spec, const std::string& fullName) {
  const char* current = spec->CurrentSpecFileName;
  if (current != nullptr && fullName == current) {
    TRC(TRC_DETAIL, ">>>>>>No new files found<<<<<<");
    return;
  }
  char* field = NewNameField(fullName);
  if (field == nullptr) return;
  if (current == nullptr) {
    TRC(TRC_DETAIL, "Initial monitoring file set to %s", field);
  } else {
    TRC(TRC_DETAIL, "Switching monitoring file from %s to %s", current, field);
    ZEVP_SendDPlogMessage(spec->FileServer != nullptr ? spec->FileServer->anchor : nullptr, 76, current, field);
  }
  SetCurrent(spec, field);
}

// Step 10: one switch-check interval in steps that notice the end of the thread.
void WaitForMatchingFile(const FileSpecControlBlock* spec) {
  int32_t interval = spec->SwitchCheckInterval;
  TRC(TRC_DETAIL, ">>>>>Waiting for target monitoring file creation... %d seconds", interval);
  for (int32_t waited = 0; waited < interval && !zevp::FileServerToldToEnd(spec->FileServer);) {
    unsigned step = static_cast<unsigned>(std::min<int32_t>(kWaitStep, interval - waited));
    BSV1_Sleep(step);
    waited += static_cast<int32_t>(step);
  }
}

}  // namespace

void ZEVP_DetermineCurrentMonitorFileName(FileSpecControlBlock* spec, int allMatch) {
  if (TakeQueuedFile(spec)) return;
  std::string directory = TargetDirectory(spec);
  if (directory.empty()) {
    SetCurrent(spec, nullptr);
    TRC(TRC_ERROR, "***** No valid current working directory. Exiting...");
    return;
  }
  for (;;) {
    DirectoryScan scan = ScanDirectory(spec, directory, allMatch != 0);
    if (!scan.opened) {
      SetCurrent(spec, nullptr);
      return;
    }
    if (spec->SpecSelectedFileList != nullptr) {
      Enqueue(spec, std::string());  // the end mark
      TakeQueuedFile(spec);
      return;
    }
    if (!scan.best.empty()) {
      std::string path = spec->FilePathSpec != nullptr ? spec->FilePathSpec : "";
      SelectFile(spec, path + scan.best);
      return;
    }
    WaitForMatchingFile(spec);
    if (spec->CurrentSpecFileName != nullptr || zevp::FileServerToldToEnd(spec->FileServer)) return;
  }
}
