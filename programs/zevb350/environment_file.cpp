#include "environment_file.h"

#include <cerrno>
#include <cstring>

#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace zevb350 {

void ReadEnvironmentSettings(FILE* stream, const std::function<void(const std::string&)>& setting) {
  // Room for the longest line, its carriage return and line feed, and the terminator.
  char line[kEnvironmentLineMax + 3];
  while (std::fgets(line, sizeof line, stream) != nullptr) {
    size_t length = std::strlen(line);
    bool ended = length > 0 && line[length - 1] == '\n';
    if (!ended && !std::feof(stream)) {
      // Longer than a line may be: dropped to its end, never read as a second setting.
      int next;
      while ((next = std::fgetc(stream)) != EOF && next != '\n') {
      }
      TRC(TRC_ERROR, "Env file line longer than %d characters skipped {%.40s...}", static_cast<int>(kEnvironmentLineMax),
          line);
      continue;
    }
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
    if (length > kEnvironmentLineMax) {
      TRC(TRC_ERROR, "Env file line longer than %d characters skipped {%.40s...}", static_cast<int>(kEnvironmentLineMax),
          line);
      continue;
    }
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t')) --length;
    if (length == 0 || line[0] == '*') continue;
    setting(std::string(line, length));
  }
}

void ApplyEnvironmentFile(const std::string& fileName) {
  FILE* stream = std::fopen(fileName.c_str(), "re");
  if (stream == nullptr) {
    TRC(TRC_ERROR, "Env file %s open failed. ErrorText <%s>", fileName.c_str(), std::strerror(errno));
    TRC(TRC_ERROR, "Processing assumes no additional environment settings");
    return;
  }
  TRC(TRC_DETAIL, "Env file %s opened successfully", fileName.c_str());
  ReadEnvironmentSettings(stream, [](const std::string& text) {
    TRC(TRC_DETAIL, "Setting Env Var {%s}", text.c_str());
    ZEV0_PutEnv(text.c_str());
    std::string name = text.substr(0, text.find('='));
    if (const char* value = ZEV0_GetEnv(name.c_str(), nullptr))
      TRC(TRC_DETAIL, "Env Var %s Value set to %s", name.c_str(), value);
    else
      TRC(TRC_DETAIL, "Env Vae %s Value NULL", name.c_str());
  });
  std::fclose(stream);
}

}  // namespace zevb350
