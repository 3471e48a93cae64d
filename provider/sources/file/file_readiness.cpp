#include "file_readiness.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "file_server_thread.h"
#include "file_pattern_control_block.h"
#include "io_buffer.h"
#include "io_entry.h"
#include "process_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// How often a wait for the signal looks whether its thread is to end.
constexpr int kEndCheckSeconds = 1;

ProcessEntry* ServerOf(const IOEntry* entry) {
  return entry->Source != nullptr && entry->Source->FileSpec != nullptr ? entry->Source->FileSpec->FileServer
                                                                         : nullptr;
}

DPAB* AnchorOf(const IOEntry* entry) {
  ProcessEntry* server = ServerOf(entry);
  return server != nullptr ? server->anchor : nullptr;
}

const char* GroupName(const SourceEntry* source) { return source->Table != nullptr ? source->Table->TableName : ""; }

void CountFileIO(int32_t files, int32_t ios) { zevp::Routines().updateStatLogFileIO(files, ios); }

// The state of one readiness wait: its first messages are given once.
class ReadinessWait {
 public:
  ReadinessWait(IOEntry* entry, int32_t* restart)
      : entry_(entry), source_(entry->Source), restart_(restart), checkRecord_(static_cast<size_t>(entry->RecordLength)) {
    const char* wait = ZEV0_GetEnv("ZEVP_DP_FILE_EXIST_WAIT", "Y");
    waitForCreation_ = std::toupper(static_cast<unsigned char>(wait[0])) == 'Y';
  }

  // 1 ready, 0 failed or told to end.
  int run() {
    const char* fileName = source_->FileSpec->CurrentSpecFileName;
    TRC(TRC_DETAIL, "Monitoring file %s - FSCB pointer @%p", fileName, static_cast<void*>(source_->FileSpec));
    while (!toldToEnd()) {
      FILE* stream = openWhenCreated(fileName);
      if (stream == nullptr) return 0;
      if (holdsRecord(stream, fileName)) return toldToEnd() ? 0 : 1;
      // Gone while the wait for its data went on: wait for it as for a missing file.
    }
    return 0;
  }

 private:
  bool toldToEnd() const { return zevp::FileServerToldToEnd(ServerOf(entry_)); }

  // The file open, or null when the wait failed or the thread is to end.
  FILE* openWhenCreated(const char* fileName) {
    while (!toldToEnd()) {
      FILE* stream = std::fopen(fileName, "rbe");
      if (stream != nullptr) return stream;
      int error = errno;
      if (error != ENOENT && error != EACCES) {
        TRC(TRC_ERROR, "*** Unable to open file %s, ErrorText: %s, NO retry. Exiting", fileName, std::strerror(error));
        ZEVP_SendDPlogMessage(AnchorOf(entry_), 53, source_->SourceName, std::to_string(error).c_str());
        return nullptr;
      }
      if (!missingTold_) {
        ZEVP_SendDPlogMessage(AnchorOf(entry_), 18, source_->SourceName, GroupName(source_));
        missingTold_ = true;
      }
      CountFileIO(0, 1);
      if (!waitForCreation_) {
        TRC(TRC_DETAIL,
            "File %s does not exist. DO NOT wait for file creation per ZEVP_ENV_FILE_EXIST_WAIT specification.",
            fileName);
        return nullptr;
      }
      TRC(TRC_DETAIL, "File %s does not exist. wait for file creation", fileName);
      *restart_ = 1;
      ZEVP_WaitForSignal(entry_);
    }
    return nullptr;
  }

  // True when the first line could be read (the stream is closed either way);
  // false when the file could no more be opened.
  bool holdsRecord(FILE* stream, const char* fileName) {
    for (;;) {
      CountFileIO(1, 1);
      if (toldToEnd()) break;
      TRC(TRC_UNIT_DETAIL, ">>>Reading the first file record for validation.");
      if (std::fgets(checkRecord_.data(), static_cast<int>(checkRecord_.size()), stream) != nullptr) {
        CountFileIO(0, 1);
        TRC(TRC_UNIT_DETAIL, ">>>CheckRec read successful: %s", checkRecord_.data());
        break;
      }
      TRC(TRC_UNIT_DETAIL, ">>>CheckRec read failed");
      std::fclose(stream);
      CountFileIO(-1, 1);
      if (!emptyTold_) {
        ZEVP_SendDPlogMessage(AnchorOf(entry_), 19, source_->SourceName, GroupName(source_));
        emptyTold_ = true;
      }
      TRC(TRC_DETAIL, "empty file. continue to wait");
      // What is written into it from now on is new: it is read from its beginning.
      *restart_ = 1;
      ZEVP_WaitForSignal(entry_);
      stream = std::fopen(fileName, "rbe");
      if (stream == nullptr) return false;
    }
    std::fclose(stream);
    CountFileIO(-1, 1);
    return true;
  }

  IOEntry* entry_;
  SourceEntry* source_;
  int32_t* restart_;
  std::vector<char> checkRecord_;
  bool waitForCreation_ = true;
  bool missingTold_ = false;
  bool emptyTold_ = false;
};

}  // namespace

int ZEVP_WaitFileReadyForMonitor(IOEntry* entry, int32_t* restart) {
  BSV1_GetLock(&entry->Lock);
  entry->RecordLength = ZEVP_ComputeIObufferSize(entry->Source);
  int result = 0;
  if (entry->Buffers != nullptr) {
    TRC(TRC_UNIT_DETAIL, "Reusing pDataBuffer @%p for IOEntry @%p", static_cast<void*>(entry->Buffers),
        static_cast<void*>(entry));
    result = 1;
  } else if (ZEVP_AllocateIObuffer(entry) && ZEVP_AllocateIObuffer(entry)) {
    result = 1;
  } else {
    TRC(TRC_ERROR, "Initial IO buffer allocation failed");
  }
  if (result == 1) {
    ZEVP_SetFileWaitPending(entry, 1);
    result = ReadinessWait(entry, restart).run();
    ZEVP_SetFileWaitPending(entry, 0);
  }
  BSV1_ReleaseLock(&entry->Lock);
  return result;
}

void ZEVP_WaitForSignal(IOEntry* entry) {
  ProcessEntry* server = ServerOf(entry);
  BSV1_ReleaseLock(&entry->Lock);
  pthread_mutex_lock(&entry->Mutex);
  // Woken, or looked again now and then so that a thread told to end sees it.
  while (entry->WakeUpPending == 0 && !zevp::FileServerToldToEnd(server))
    ZEV0_ConditionTimedWait(&entry->Condition, &entry->Mutex, kEndCheckSeconds);
  entry->WakeUpPending = 0;
  pthread_mutex_unlock(&entry->Mutex);
  BSV1_GetLock(&entry->Lock);
}
