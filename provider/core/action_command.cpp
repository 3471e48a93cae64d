#include "action_command.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "action_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/child_process.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kDefaultResultSize = 256;
// Room for one line of a few characters and the "..." after it.
constexpr int32_t kMinimumResultSize = 16;
// The agent keeps no more of a result than a fraction of this.
constexpr int32_t kMaximumResultSize = 4096;

int32_t ReadResultBufferSize() {
  const char* value = ZEV0_GetEnv("ZEVP_ACTION_RESULT_SIZE", nullptr);
  if (value == nullptr) return kDefaultResultSize;
  errno = 0;
  long size = std::strtol(value, nullptr, 10);
  if (size < kMinimumResultSize) {
    TRC(TRC_ERROR, "*** ZEVP_ACTION_RESULT_SIZE <%s> below %d, %d taken", value, kMinimumResultSize,
        kMinimumResultSize);
    return kMinimumResultSize;
  }
  if (size > kMaximumResultSize || errno == ERANGE) {
    TRC(TRC_ERROR, "*** ZEVP_ACTION_RESULT_SIZE <%s> above %d, %d taken", value, kMaximumResultSize,
        kMaximumResultSize);
    return kMaximumResultSize;
  }
  return static_cast<int32_t>(size);
}

// The wait status of the command line run by the shell, or -1 when it could not be.
int runShell(const std::string& commandLine) {
  int error = 0;
  int status = zev0::RunShellCommand(commandLine.c_str(), &error);
  if (status < 0) TRC(TRC_ERROR, "***** Command <%s> not run by the shell, errno %d", commandLine.c_str(), error);
  return status;
}

void removeLineEnds(char* line) {
  char* to = line;
  for (const char* from = line; *from != '\0'; ++from)
    if (*from != '\r' && *from != '\n') *to++ = *from;
  *to = '\0';
}

}  // namespace

int32_t ZEVP_ActionResultBufferSize() {
  static const int32_t size = ReadResultBufferSize();
  return size;
}

void ZEVP_AssembleActionResult(FILE* output, int32_t bufferSize, char** result, int32_t* length) {
  *result = nullptr;
  *length = 0;
  const int32_t lineSize = bufferSize - 4;
  auto* line = static_cast<char*>(ZEV0_GetStorage(lineSize));
  // The "..." may follow a text of bufferSize - 3 characters: one byte more for the terminator.
  auto* text = static_cast<char*>(ZEV0_GetStorage(bufferSize + 1));
  if (line == nullptr || text == nullptr) {
    TRC(TRC_ERROR, "***** No storage for an action result of %d bytes", bufferSize);
    ZEV0_FreeStorage(&line);
    ZEV0_FreeStorage(&text);
    return;
  }
  std::memset(line, 0, static_cast<size_t>(lineSize));
  std::memset(text, 0, static_cast<size_t>(bufferSize) + 1);
  int32_t used = 0;
  while (std::fgets(line, lineSize, output) != nullptr) {
    removeLineEnds(line);
    int32_t lineLength = static_cast<int32_t>(std::strlen(line));
    if (lineLength == 0) continue;
    if (used == 0) {
      std::memcpy(text, line, static_cast<size_t>(lineLength));
      used = lineLength;
    } else if (used + lineLength > bufferSize - 4) {
      std::memcpy(text + used, "...", 3);
      used += 3;
      TRC(TRC_DETAIL, "***** Action result <%s> too large, truncated", text);
      break;
    } else {
      text[used] = ';';
      std::memcpy(text + used + 1, line, static_cast<size_t>(lineLength));
      used += lineLength + 1;
    }
  }
  ZEV0_FreeStorage(&line);
  *result = text;
  *length = used;
}

void ZEVP_ExecuteActionCommand(ActionEntry* entry) {
  const int32_t bufferSize = ZEVP_ActionResultBufferSize();
  std::string commandLine = entry->ActionName != nullptr ? entry->ActionName : "";
  commandLine += ' ';
  if (entry->ActionParm != nullptr) commandLine += entry->ActionParm;
  char outputFile[32];
  std::snprintf(outputFile, sizeof outputFile, "%sDP%06u", "./", entry->ActionID);
  const bool captured = commandLine.find('>') == std::string::npos;
  if (captured) commandLine += std::string(" >") + outputFile;

  TRC(TRC_DETAIL, "Executing action command <%s>", commandLine.c_str());
  int status = runShell(commandLine);
  if (status < 0)
    entry->ActionStatus = ZEV_ACTION_EXEC_ERROR;
  else
    entry->ActionStatus = -status;
  TRC(TRC_DETAIL, "Action %u command ended, status %d", entry->ActionID, entry->ActionStatus);
  entry->ResultLength = 0;
  if (!captured) return;

  ZEV0_FreeStorage(&entry->ActionResult);
  FILE* output = std::fopen(outputFile, "re");
  if (output == nullptr) {
    TRC(TRC_ERROR, "***** Action output file %s cannot be opened, errno %d", outputFile, errno);
    return;
  }
  ZEVP_AssembleActionResult(output, bufferSize, &entry->ActionResult, &entry->ResultLength);
  std::fclose(output);
  std::remove(outputFile);
}
