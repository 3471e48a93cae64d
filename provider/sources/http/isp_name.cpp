#include "isp_name.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "http_trace.h"
#include "url_records.h"
#include "zev0/env.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr char kDefaultISPname[] = "LAN";

// The first line of the file, at most the name's length.
bool ReadFirstLine(FILE* file, std::string* line) {
  char buffer[ZEVP_URL_ISP_NAME_MAX + 1] = {};
  if (std::fgets(buffer, sizeof buffer, file) == nullptr) return false;
  *line = buffer;
  return true;
}

std::string ISPnameFromFile() {
  const char* fileName = ZEV0_GetEnv("ZEVP_URL_ISP_FILE_NAME", "ISP.ID");
  char* path = ZEV0_ConstructFullyQualifiedName(nullptr, fileName);
  FILE* file = path != nullptr ? std::fopen(path, "re") : nullptr;
  if (file == nullptr) {
    HTTP_TRC(TRC_ERROR, "HTTP Data Provider ISP file %s failed to open. ErrorText <%s>",
             path != nullptr ? path : fileName, std::strerror(errno));
    ZEV0_FreeStorage(&path);
    return kDefaultISPname;
  }
  ZEV0_FreeStorage(&path);
  std::string line;
  std::string name = ReadFirstLine(file, &line) ? ISPnameFromFirstLine(line) : "";
  std::fclose(file);
  if (name.empty()) {
    HTTP_TRC(TRC_ERROR, "ISP file is empty");
    return kDefaultISPname;
  }
  return name;
}

}  // namespace

std::string ISPnameFromFirstLine(const std::string& line) {
  std::string text = line.substr(0, std::min(line.find('\0'), static_cast<size_t>(ZEVP_URL_ISP_NAME_MAX)));
  size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) return "";
  size_t end = text.find_first_of(" \r\n", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string DetermineISPname() {
  if (const char* setting = ZEV0_GetEnv("ZEVP_URL_ISP_NAME", nullptr)) {
    std::string name = std::string(setting).substr(0, ZEVP_URL_ISP_NAME_MAX);
    HTTP_TRC(TRC_DETAIL, "ISP name from parm is %s", name.c_str());
    return name;
  }
  return ISPnameFromFile();
}

}  // namespace zevp
