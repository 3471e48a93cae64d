#include "definition_version.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

constexpr int kHighestLevel = 98;
// Where a part that is not two digits goes on from.
constexpr int kNotDigits = 49;

int levelOf(const char* part) {
  if (std::isdigit(static_cast<unsigned char>(part[0])) && std::isdigit(static_cast<unsigned char>(part[1])))
    return (part[0] - '0') * 10 + (part[1] - '0');
  return -1;
}

}  // namespace

void releaseOfVersion(const char* version, char (&release)[3]) {
  size_t length = std::strlen(version);
  release[0] = length > 3 ? version[3] : '\0';
  release[1] = length > 4 ? version[4] : '\0';
  release[2] = '\0';
}

int raiseVersion(const char* oldVersion, char* newVersion, char changeType) {
  if (changeType != 'M' && changeType != 'R') return 0;
  char V[3] = {}, R[3] = {}, M[3] = {};
  std::sscanf(oldVersion, "%2[^.].%2[^.].%2s", V, R, M);
  const char* part = changeType == 'R' ? R : M;
  int level = levelOf(part);
  if (level < 0) {
    TRC(TRC_ERROR, "Error: type<%c> oldver<%s> V<%s> R<%s> M<%s>", changeType, oldVersion, V, R, M);
    level = kNotDigits;
  }
  if (++level > kHighestLevel) {
    TRC(TRC_ERROR, changeType == 'R' ? "Error: Application release level reached 100."
                                     : "Error: Application modification level reached 100.");
    return 1;
  }
  if (changeType == 'R')
    std::snprintf(newVersion, 9, "%s.%-2.2d.%s", V, level, M);
  else
    std::snprintf(newVersion, 9, "%s.%s.%2.2d", V, R, level);
  TRC(TRC_DETAIL, "New version <%s>", newVersion);
  return 0;
}
