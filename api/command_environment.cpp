// The command environment file ./ZEVPINIT: the session key of each application and
// attribute group, so that separate tool runs use one input session.
#include <cstdio>
#include <cstring>

#include "api_trace.h"
#include "environment_lines.h"
#include "records.h"

namespace {

constexpr char kEnvironmentFile[] = "./ZEVPINIT";
constexpr char kWorkFile[] = "./ZEVPTEMP";

// True for the line of that AppID: the AppID, then '#'.
bool IsLineOf(const char* line, const char* appID) {
  size_t length = std::strlen(appID);
  return std::strncmp(line, appID, length) == 0 && line[length] == '#';
}

// Moves to the first session line of the file: true when its first line holds the
// stamp.
bool OpenedAtStamp(std::FILE* file, int32_t stamp) {
  zevpapi::EnvironmentLine line;
  return zevpapi::ReadEnvironmentLine(file, line) == zevpapi::LineRead::kLine && zevpapi::StampFrom(line) == stamp;
}

bool HoldsEntry(std::FILE* file, const char* appID, uint16_t key) {
  zevpapi::EnvironmentLine line;
  for (zevpapi::LineRead read; (read = zevpapi::ReadEnvironmentLine(file, line)) != zevpapi::LineRead::kEnd;)
    if (read == zevpapi::LineRead::kLine && IsLineOf(line, appID) &&
        zevpapi::SessionKeyFrom(line + std::strlen(appID) + 1) == key)
      return true;
  return false;
}

// The session lines of the file but those of the AppID, onto the work file.
void CopyOtherEntries(std::FILE* file, const char* appID, std::FILE* work) {
  zevpapi::EnvironmentLine line;
  for (zevpapi::LineRead read; (read = zevpapi::ReadEnvironmentLine(file, line)) != zevpapi::LineRead::kEnd;)
    if (read == zevpapi::LineRead::kLine && !IsLineOf(line, appID)) std::fprintf(work, "%s\n", line);
}

}  // namespace

extern "C" void dp_GetCommandEnvironment(APIhandle* handle, const char* appID, const char* stamp) {
  if (handle == nullptr) return;
  handle->sessionKey = 0;
  std::FILE* file = std::fopen(kEnvironmentFile, "re");
  if (file == nullptr) return;
  handle->sessionKey = zevpapi::FindSessionKey(file, appID, stamp);
  std::fclose(file);
  zevpapi::TraceStep("environment", "session key %u for %s", handle->sessionKey, appID != nullptr ? appID : "(any)");
}

// The file is rewritten whole: an entry of the AppID with another key (a session the
// data provider dropped) is replaced, not followed by a second one that a later get
// would never reach; a file of another stamp, or without one, starts again.
extern "C" void dp_SaveCommandEnvironment(APIhandle* handle, const char* appID) {
  if (handle == nullptr || appID == nullptr) return;
  std::FILE* file = std::fopen(kEnvironmentFile, "re");
  bool sameRun = file != nullptr && OpenedAtStamp(file, handle->serverStamp);
  if (sameRun && (handle->sessionKey == 0 || HoldsEntry(file, appID, handle->sessionKey))) {
    std::fclose(file);
    return;
  }
  std::FILE* work = std::fopen(kWorkFile, "we");
  if (work == nullptr) {
    if (file != nullptr) std::fclose(file);
    return;
  }
  std::fprintf(work, "%d\n", handle->serverStamp);
  if (sameRun) {
    std::rewind(file);
    OpenedAtStamp(file, handle->serverStamp);
    CopyOtherEntries(file, appID, work);
  }
  if (file != nullptr) std::fclose(file);
  // A line the reader would refuse is not written: the file keeps lines of 79
  // characters, so an AppID of more than 73 has no room for '#' and a key.
  if (handle->sessionKey != 0 && std::strlen(appID) + 6 <= zevpapi::kLongestEnvironmentLine)
    std::fprintf(work, "%s#%u\n", appID, handle->sessionKey);
  else if (handle->sessionKey != 0)
    zevpapi::TraceStep("environment", "AppID %s too long for a line, session key %u not saved", appID,
                       handle->sessionKey);
  std::fclose(work);
  std::rename(kWorkFile, kEnvironmentFile);
}

extern "C" void dp_ClearCommandEnvironment(APIhandle* handle) {
  if (handle == nullptr) return;
  std::FILE* file = std::fopen(kEnvironmentFile, "re");
  if (file == nullptr) {
    zevpapi::TraceStep("environment", "Command history %s does not exit", kEnvironmentFile);
    return;
  }
  std::FILE* work = std::fopen(kWorkFile, "we");
  if (work == nullptr) {
    std::fclose(file);
    return;
  }
  zevpapi::EnvironmentLine line;
  if (zevpapi::ReadEnvironmentLine(file, line) == zevpapi::LineRead::kLine) std::fprintf(work, "%s\n", line);
  bool leftOut = false;
  for (zevpapi::LineRead read; (read = zevpapi::ReadEnvironmentLine(file, line)) != zevpapi::LineRead::kEnd;) {
    if (read != zevpapi::LineRead::kLine) continue;
    const char* mark = std::strchr(line, '#');
    if (mark != nullptr && zevpapi::SessionKeyFrom(mark + 1) == handle->sessionKey) {
      leftOut = true;
      continue;
    }
    std::fprintf(work, "%s\n", line);
  }
  std::fclose(file);
  std::fclose(work);
  if (leftOut)
    std::rename(kWorkFile, kEnvironmentFile);
  else
    std::remove(kWorkFile);
}
